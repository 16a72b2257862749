#pragma once
#include "workflow/downloading_state.h"

// Downloads the micro-client configuration, writes its version and registers the installation.
class DownloadWeiduanCfgState : public DownloadingState {
 public:
  explicit DownloadWeiduanCfgState(LauncherContext* context);
  StateId Id() const override { return StateId::kDownloadWeiduanCfg; }

 protected:
  Transition Begin(DownloadTask& task) override;
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;
};
