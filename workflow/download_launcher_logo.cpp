#include "workflow/download_launcher_logo.h"

#include "app/terminal_states.h"
#include "workflow/load_state.h"

// Placeholder until this step lands: hands over to the launch.
DownloadLauncherLogo::DownloadLauncherLogo(LauncherContext* context) : State(context) {}
DownloadLauncherLogo::~DownloadLauncherLogo() { StopAll(jobs); }
void DownloadLauncherLogo::Update() {
  if (started) return;
  started = true;
  NextState();
}
void DownloadLauncherLogo::NextState() { TransitionTo<LoadState>(context); }
