#include "app/early_states.h"

#include <exception>

#include "app/main_window.h"
#include "app/state_waker.h"
#include "workflow/launcher_context.h"
#include "workflow/run_plan.h"

EarlyStates::~EarlyStates() { Stop(); }

bool EarlyStates::Start(LauncherContext& context, StateWaker& waker) {
  if (worker_.joinable()) return true;
  waker_ = &waker;
  stopping_ = false;
  try {
    worker_ = std::thread([this, &context] { Run(context); });
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

void EarlyStates::Stop() {
  if (!worker_.joinable()) return;
  stopping_ = true;
  waker_->Wake();
  worker_.join();
}

void EarlyStates::Run(LauncherContext& context) {
  while (!stopping_) {
    // As on the window's thread: a state that hands over begins its
    // successor at once, up to the same bound.
    for (int i = 0; i < kStatesPerTick && !stopping_; ++i) {
      State* state = context.state.get();
      if (!state || !state->RunsBeforeWindow()) break;
      if (!Advance(context)) break;
    }
    waker_->Wait(kTimerPeriodMs);
  }
}
