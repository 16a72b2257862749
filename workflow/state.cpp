#include "workflow/state.h"

void State::MakeCurrent() {
  LauncherContext* ctx = context;
  // The old state is gone before this one is current, so a destructor that
  // looks at the context never sees its successor.
  ctx->state.reset();
  ctx->state.reset(this);
}
