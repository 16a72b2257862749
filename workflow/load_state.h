#pragma once
#include "workflow/state.h"

// Starts the game client and/or the micro-client shell, then completes the run.
class LoadState : public State {
 public:
  explicit LoadState(LauncherContext* context);
  void Update() override;

 private:
  bool started = false;
};
