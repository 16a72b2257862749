#pragma once
#include "workflow/downloading_state.h"

// Fetches the server's package version and compares it with the local one:
// done when the package is to be fetched, up to date otherwise.
class DownloadPkgVerState : public DownloadingState {
 public:
  explicit DownloadPkgVerState(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  StateId Id() const override { return StateId::kDownloadPkgVer; }

 protected:
  Transition Begin(DownloadTask& task) override;
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;

 private:
  // Fails with "下载版本号失败！" and `error`.
  Transition FailedWith(const std::string& error);
  Transition Compare();
};
