#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// Downloads the micro-client shell into the install folder.
class DownloadWeiduanState : public State {
 public:
  explicit DownloadWeiduanState(LauncherContext* context);
  ~DownloadWeiduanState() override;
  void Update() override;
  virtual void OnFailed();
  virtual void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
