#pragma once
#include "workflow/downloading_state.h"

// Fetches the launcher logo onto the page, registers the URL protocol once, then picks the branch.
class DownloadLauncherLogo : public DownloadingState {
 public:
  explicit DownloadLauncherLogo(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
