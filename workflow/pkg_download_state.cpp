#include "workflow/pkg_download_state.h"

#include "app/terminal_states.h"
#include "workflow/load_state.h"

// Placeholder until this step lands: hands over to the launch.
PkgDownloadState::PkgDownloadState(LauncherContext* context) : State(context) {}
PkgDownloadState::~PkgDownloadState() { StopAll(jobs); }
void PkgDownloadState::Update() {
  if (started) return;
  started = true;
  NextState();
}
void PkgDownloadState::OnFailed() { NextState(); }
void PkgDownloadState::NextState() { TransitionTo<LoadState>(context); }
