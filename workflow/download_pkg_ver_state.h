#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// Fetches the server's package version and compares it with the local one.
class DownloadPkgVerState : public State {
 public:
  explicit DownloadPkgVerState(LauncherContext* context);
  ~DownloadPkgVerState() override;
  void Update() override;
  virtual void OnFailed();
  virtual void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
