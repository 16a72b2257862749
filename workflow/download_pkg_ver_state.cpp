#include "workflow/download_pkg_ver_state.h"

#include "app/terminal_states.h"
#include "workflow/load_state.h"

// Placeholder until this step lands: hands over to the launch.
DownloadPkgVerState::DownloadPkgVerState(LauncherContext* context) : State(context) {}
DownloadPkgVerState::~DownloadPkgVerState() { StopAll(jobs); }
void DownloadPkgVerState::Update() {
  if (started) return;
  started = true;
  NextState();
}
void DownloadPkgVerState::OnFailed() { NextState(); }
void DownloadPkgVerState::NextState() { TransitionTo<LoadState>(context); }
