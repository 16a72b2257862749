#pragma once
#include "workflow/downloading_state.h"

// Fetches the launcher logo onto the page; on a normal run it then registers
// the URL protocol, once.
class DownloadLauncherLogo : public DownloadingState {
 public:
  explicit DownloadLauncherLogo(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  StateId Id() const override { return StateId::kDownloadLauncherLogo; }

 protected:
  Transition Begin(DownloadTask& task) override;
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;

 private:
  Transition Finish();
};
