#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// First state of a run: fetches and applies the install configuration.
class DownloadInstallCfgState : public State {
 public:
  explicit DownloadInstallCfgState(LauncherContext* context);
  ~DownloadInstallCfgState() override;
  void Update() override;
  virtual void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
