#pragma once
#include "workflow/downloading_state.h"

// Learns who the player is: from a web launch, or from the token server.
class GetUserInfoFromTokenState : public DownloadingState {
 public:
  explicit GetUserInfoFromTokenState(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  StateId Id() const override { return StateId::kGetUserInfo; }

 protected:
  Transition Begin(DownloadTask& task) override;
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;

 private:
  Transition Finish();
};
