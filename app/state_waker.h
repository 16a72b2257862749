#pragma once
// Where a wake of the workflow's states goes, from any thread: to the main
// window once it stands, and to the thread that runs the first states
// before that (see EarlyStates).
#include <windows.h>

#include <atomic>

#include "base/handles.h"

class StateWaker {
 public:
  StateWaker();
  StateWaker(const StateWaker&) = delete;
  StateWaker& operator=(const StateWaker&) = delete;

  // From here on a wake is also posted to `window` (null: no longer).
  void SetWindow(HWND window);
  // Callable from any thread, at any time.
  void Wake();
  // Waits up to `timeoutMs` for a wake since the last wait; true when one came.
  bool Wait(DWORD timeoutMs);

 private:
  std::atomic<HWND> window_{nullptr};
  base::UniqueHandle event_;  // auto-reset
};

// The process's one waker. It is never destroyed: request threads may still
// wake it while the process ends.
StateWaker& TheStateWaker();
