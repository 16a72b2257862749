#pragma once
#include "workflow/downloading_state.h"

// Learns who the player is: from a web launch, or from the token server.
class GetUserInfoFromTokenState : public DownloadingState {
 public:
  explicit GetUserInfoFromTokenState(LauncherContext* context);
  void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
