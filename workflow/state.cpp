#include "workflow/state.h"

void State::MakeCurrent() {
  LauncherContext* ctx = context;
  // The old state is gone before this one is current, so a destructor that
  // looks at the context never sees its successor.
  ctx->state.reset();
  ctx->state.reset(this);
}

Transition Transition::To(std::unique_ptr<State> next) {
  Transition t(Kind::kTo);
  t.next_ = std::move(next);
  return t;
}

Transition::Transition(Transition&&) noexcept = default;
Transition& Transition::operator=(Transition&&) noexcept = default;
Transition::~Transition() = default;

std::unique_ptr<State> Transition::TakeNext() { return std::move(next_); }
