#pragma once
#include <cstdint>
#include <string>

#include "workflow/downloading_state.h"

// First state of a run: fetches and applies the install configuration. A
// launcher with a built-in publisher key also fetches the configuration's
// signature and uses the configuration only when it verifies.
class DownloadInstallCfgState : public DownloadingState {
 public:
  explicit DownloadInstallCfgState(LauncherContext* context);
  bool RunsBeforeWindow() const override { return true; }
  StateId Id() const override { return StateId::kDownloadInstallCfg; }

 protected:
  Transition Begin(DownloadTask& task) override;
  Transition Succeeded(DownloadTask& task) override;
  Transition Failed(DownloadTask& task) override;

 private:
  void FetchSignature(DownloadTask& task);
  Transition Apply(const std::string& configBytes);
  // The logged error when `offered` is older than the serial kept for the
  // installation `installName`; empty when it is accepted (and kept).
  std::string SerialRefusal(const std::wstring& installName, uint64_t offered);
  void PrefetchStartRequests();

  std::string query;        // "?v=<time>", the same for the configuration and its signature
  std::string configBytes;  // the configuration as received, while its signature is fetched
  bool fetchingSignature = false;
};
