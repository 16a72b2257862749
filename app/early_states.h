#pragma once
// Runs the workflow's first states on a thread of their own while the main
// window is made. Making the first window costs the window's thread about as
// long as the configuration, the player's details, the version and the logo
// take to arrive; side by side, an up-to-date start reaches the game sooner.
// Only states that say they can run before the window (State::
// RunsBeforeWindow) are updated here; at any other state the thread waits to
// be stopped, and the window's thread goes on from there.
#include <atomic>
#include <thread>

struct LauncherContext;
class StateWaker;

class EarlyStates {
 public:
  EarlyStates() = default;
  ~EarlyStates();  // stops
  EarlyStates(const EarlyStates&) = delete;
  EarlyStates& operator=(const EarlyStates&) = delete;

  // Begins updating the states of `context`, looking again whenever `waker`
  // is woken and at least every timer period. Nothing else may touch
  // `context` until Stop has returned. False when no thread could be made
  // (the states then simply wait for the window).
  bool Start(LauncherContext& context, StateWaker& waker);
  // Returns once the thread has finished the update it is in; from then on
  // the states belong to the caller's thread again. Idempotent.
  void Stop();

 private:
  void Run(LauncherContext& context);

  std::thread worker_;
  std::atomic<bool> stopping_{false};
  StateWaker* waker_ = nullptr;
};
