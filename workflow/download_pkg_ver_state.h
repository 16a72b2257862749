#pragma once
#include "workflow/downloading_state.h"

struct InstallConfig;

// Fetches the server's package version and compares it with the local one.
class DownloadPkgVerState : public DownloadingState {
 public:
  explicit DownloadPkgVerState(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  virtual void OnFailed();
  // Shows "下载版本号失败！" with `error` (or, in micro-client mode, launches without a user).
  void OnFailed(const std::string& error);
  virtual void NextState();

  // The request this state makes for `config`, and its key among the prefetches.
  static std::string RequestUrl(const InstallConfig& config);
  static constexpr const char* kPrefetchKey = "package version";
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;
};
