#pragma once
#include "workflow/downloading_state.h"

// Downloads the micro-client shell into the install folder.
class DownloadWeiduanState : public DownloadingState {
 public:
  explicit DownloadWeiduanState(LauncherContext* context);
  virtual void OnFailed();
  virtual void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
