#pragma once
#include "workflow/downloading_state.h"

// First state of a run: fetches and applies the install configuration.
class DownloadInstallCfgState : public DownloadingState {
 public:
  explicit DownloadInstallCfgState(LauncherContext* context);
  virtual void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
