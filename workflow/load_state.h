#pragma once
#include <string>

#include "workflow/state.h"

// Starts the game client and/or the micro-client shell, then completes the run.
class LoadState : public State {
 public:
  explicit LoadState(LauncherContext* context);
  Transition Update() override;
  StateId Id() const override { return StateId::kLoad; }

 private:
  // The shell is not the published one: the micro-client's error, nothing started.
  Transition RefuseShell(const std::string& error);

  bool started = false;
};
