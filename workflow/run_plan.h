#pragma once
// The run plan: which state follows which, on the normal road and on the
// micro-client road, and the step that moves a run along it.
#include <memory>

#include "workflow/state.h"

// The first state of a normal run.
std::unique_ptr<State> FirstState(LauncherContext* context);

// Updates the context's current state once and acts on its answer: the
// state stays, or the one the answer or the plan names replaces it (the old
// one is gone before the new one is current), or the run ends. True when the
// current state changed.
bool Advance(LauncherContext& context);
