#pragma once
#include "workflow/downloading_state.h"

// Downloads the micro-client shell into the install folder.
class DownloadWeiduanState : public DownloadingState {
 public:
  explicit DownloadWeiduanState(LauncherContext* context);
  StateId Id() const override { return StateId::kDownloadWeiduan; }

 protected:
  Transition Begin(DownloadTask& task) override;
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;
};
