#include "workflow/download_weiduan_cfg_state.h"

#include "app/terminal_states.h"
#include "workflow/load_state.h"

// Placeholder until this step lands: hands over to the launch.
DownloadWeiduanCfgState::DownloadWeiduanCfgState(LauncherContext* context) : State(context) {}
DownloadWeiduanCfgState::~DownloadWeiduanCfgState() { StopAll(jobs); }
void DownloadWeiduanCfgState::Update() {
  if (started) return;
  started = true;
  NextState();
}
void DownloadWeiduanCfgState::OnFailed() { NextState(); }
void DownloadWeiduanCfgState::NextState() { TransitionTo<LoadState>(context); }
