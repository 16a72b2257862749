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
  virtual void NextState();
 protected:
  void Begin(DownloadTask& task) override;
  void Succeeded(DownloadTask& task) override;
  void Failed(DownloadTask& task) override;

 private:
  void FetchSignature(DownloadTask& task);
  void Apply(const std::string& configBytes);
  // False when `offered` is older than the serial kept for this
  // installation (the state has then moved to the error).
  bool AcceptSerial(uint64_t offered);
  void PrefetchStartRequests();

  std::string query;        // "?v=<time>", the same for the configuration and its signature
  std::string configBytes;  // the configuration as received, while its signature is fetched
  bool fetchingSignature = false;
};
