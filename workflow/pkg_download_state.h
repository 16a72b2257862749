#pragma once
#include "workflow/downloading_state.h"

// Downloads the game package into the install folder.
class PkgDownloadState : public DownloadingState {
 public:
  explicit PkgDownloadState(LauncherContext* context);
  StateId Id() const override { return StateId::kPkgDownload; }

 protected:
  Transition Begin(DownloadTask& task) override;
  // Done, or done but to be checked when the configuration names a checksum.
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;
  // Stops the download at once when the package cannot fit on the drive.
  Transition Watch(DownloadTask& task) override;

 private:
  int64_t checkedTotal = 1;
};
