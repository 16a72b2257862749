#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// Fetches the launcher logo onto the page, registers the URL protocol once, then picks the branch.
class DownloadLauncherLogo : public State {
 public:
  explicit DownloadLauncherLogo(LauncherContext* context);
  ~DownloadLauncherLogo() override;
  void Update() override;
  void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
