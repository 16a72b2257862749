#pragma once
// The two states every run ends in.
#include <string>

#include "workflow/state.h"

// Shows one modal message (UTF-8 text, caption "提示"), then completes the run.
class ErrorState : public State {
 public:
  ErrorState(LauncherContext* context, const std::string& message);
  Transition Update() override;
  StateId Id() const override { return StateId::kError; }
  const std::string& Message() const { return message; }

 private:
  bool shown = false;  // the message box's own loop keeps ticking us
  std::string message;
};

// Pauses, frees the page and the download task, and ends the message loop.
class CompleteState : public State {
 public:
  CompleteState(LauncherContext* context, bool quitOnFinish);
  ~CompleteState() override;
  Transition Update() override;
  StateId Id() const override { return StateId::kComplete; }

  static constexpr unsigned kPauseMs = 2000;

 private:
  void FreeSharedObjects();

  bool completed = false;
  bool quitOnFinish;
};
