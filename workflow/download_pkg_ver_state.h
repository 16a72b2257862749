#pragma once
#include "workflow/downloading_state.h"

// Fetches the server's package version and compares it with the local one.
class DownloadPkgVerState : public DownloadingState {
 public:
  explicit DownloadPkgVerState(LauncherContext* context);
  virtual void OnFailed();
  virtual void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
