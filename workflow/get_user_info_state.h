#pragma once
#include "workflow/state.h"
#include "net/download_task.h"

// Learns who the player is: from a web launch, or from the token server.
class GetUserInfoFromTokenState : public State {
 public:
  explicit GetUserInfoFromTokenState(LauncherContext* context);
  ~GetUserInfoFromTokenState() override;
  void Update() override;
  void NextState();

 private:
  bool started = false;
  DownloadJobList jobs;
};
