#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// Downloads the game package into the install folder.
class PkgDownloadState : public State {
 public:
  explicit PkgDownloadState(LauncherContext* context);
  ~PkgDownloadState() override;
  void Update() override;
  virtual void OnFailed();
  virtual void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
