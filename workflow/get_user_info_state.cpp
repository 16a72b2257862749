#include "workflow/get_user_info_state.h"

#include "app/terminal_states.h"
#include "workflow/load_state.h"

// Placeholder until this step lands: hands over to the launch.
GetUserInfoFromTokenState::GetUserInfoFromTokenState(LauncherContext* context) : State(context) {}
GetUserInfoFromTokenState::~GetUserInfoFromTokenState() { StopAll(jobs); }
void GetUserInfoFromTokenState::Update() {
  if (started) return;
  started = true;
  NextState();
}
void GetUserInfoFromTokenState::NextState() { TransitionTo<LoadState>(context); }
