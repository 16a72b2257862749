#pragma once
// Base of every workflow state, and the one way to move from state to state.
#include <memory>
#include <utility>

#include "workflow/launcher_context.h"

class State {
 public:
  explicit State(LauncherContext* context) : context(context) {}
  virtual ~State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // Called on every timer tick while this state is current.
  virtual void Update() = 0;

  // True for a state that may be updated before the window and the page
  // exist, on a thread other than the window's: it never needs the page
  // (or shows on it only what it shows again once the page comes), puts up
  // no window of its own and ends no message loop.
  virtual bool RunsBeforeWindow() const { return false; }

  // Destroys the context's current state, if any, and makes this one current;
  // the context takes this state over (it must come from new and be owned by nobody).
  void MakeCurrent();

 protected:
  LauncherContext* context;
};

// Creates the next state on `context` and makes it current. The calling state
// is normally the one destroyed here: after this returns, touch nothing of it.
template <class Next, class... Args>
void TransitionTo(LauncherContext* context, Args&&... args) {
  std::unique_ptr<State> next = std::make_unique<Next>(context, std::forward<Args>(args)...);
  next.release()->MakeCurrent();
}
