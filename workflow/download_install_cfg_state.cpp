#include "workflow/download_install_cfg_state.h"

#include "app/log.h"
#include "app/terminal_states.h"
#include "workflow/download_launcher_logo.h"

// Placeholder until the configuration download lands: ends the run at once.
DownloadInstallCfgState::DownloadInstallCfgState(LauncherContext* context) : State(context) {}
DownloadInstallCfgState::~DownloadInstallCfgState() { StopAll(jobs); }
void DownloadInstallCfgState::Update() {
  if (started) return;
  started = true;
  Log("enter DownloadConfig ... ");
  NextState();
}
void DownloadInstallCfgState::NextState() { TransitionTo<DownloadLauncherLogo>(context); }
