#include "workflow/state.h"

void State::MakeCurrent() {
  LauncherContext* ctx = context;
  if (ctx->state) {
    State* old = ctx->state;
    ctx->state = nullptr;
    delete old;
  }
  ctx->state = this;
}
