#include "workflow/load_state.h"

#include "app/terminal_states.h"

// Placeholder until the launch lands: completes the run.
LoadState::LoadState(LauncherContext* context) : State(context) {}
void LoadState::Update() {
  if (started) return;
  started = true;
  TransitionTo<CompleteState>(context, true);
}
