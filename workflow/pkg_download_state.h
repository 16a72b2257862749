#pragma once
#include "workflow/downloading_state.h"

// Downloads the game package into the install folder.
class PkgDownloadState : public DownloadingState {
 public:
  explicit PkgDownloadState(LauncherContext* context);
  virtual void OnFailed();
  virtual void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
  // Stops the download at once when the package cannot fit on the drive.
  bool Watch(DownloadTask& task) override;

 private:
  int64_t checkedTotal = 1;
};
