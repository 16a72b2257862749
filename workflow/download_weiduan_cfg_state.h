#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// Downloads the micro-client configuration, writes its version and registers the installation.
class DownloadWeiduanCfgState : public State {
 public:
  explicit DownloadWeiduanCfgState(LauncherContext* context);
  ~DownloadWeiduanCfgState() override;
  void Update() override;
  virtual void OnFailed();
  virtual void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
