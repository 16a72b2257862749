#pragma once
#include "workflow/downloading_state.h"

struct InstallConfig;

// Learns who the player is: from a web launch, or from the token server.
class GetUserInfoFromTokenState : public DownloadingState {
 public:
  explicit GetUserInfoFromTokenState(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  void NextState();

  // The request this state makes for `config`, and its key among the prefetches.
  static std::string RequestUrl(const InstallConfig& config);
  static constexpr const char* kPrefetchKey = "user info";
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
