#include "workflow/download_weiduan_state.h"

#include "app/terminal_states.h"
#include "workflow/load_state.h"

// Placeholder until this step lands: hands over to the launch.
DownloadWeiduanState::DownloadWeiduanState(LauncherContext* context) : State(context) {}
DownloadWeiduanState::~DownloadWeiduanState() { StopAll(jobs); }
void DownloadWeiduanState::Update() {
  if (started) return;
  started = true;
  NextState();
}
void DownloadWeiduanState::OnFailed() { NextState(); }
void DownloadWeiduanState::NextState() { TransitionTo<LoadState>(context); }
