#pragma once
#include "workflow/downloading_state.h"

// Downloads the micro-client configuration, writes its version and registers the installation.
class DownloadWeiduanCfgState : public DownloadingState {
 public:
  explicit DownloadWeiduanCfgState(LauncherContext* context);
  virtual void OnFailed();
  virtual void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
