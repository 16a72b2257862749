#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "install/installed_files.h"
#include "net/download_task.h"
#include "unpack/package_manifest.h"
#include "workflow/state.h"
#include "workflow/transfer_status.h"
#include "workflow/update_plan.h"

class RangeFetch;
struct UpdateScan;

// Between the version check and the game's start when the configuration
// publishes the package's manifest: brings the install folder to the new
// package (an update) or back to the current one (a repair) by fetching only
// the entries that differ from what the ledger ("pkg.files") and the disk
// hold, each as a byte range of the package. Hands over to the whole-package
// road when that is the better or the only way.
//
// Ways out: Done when every entry is in place; kUpToDate when a current
// installation needs nothing; kWholePackage to download the package;
// kWholeBody when the server answered a range with the whole package, which
// is then in the download file.
class PkgUpdateState : public State {
 public:
  // `update`: the server's version is newer than "pkg.ver"; otherwise the
  // installation is current and only a repair may be needed.
  PkgUpdateState(LauncherContext* context, bool update);
  ~PkgUpdateState() override;  // stops the request and the workers, waiting for the request's thread
  Transition Update() override;
  StateId Id() const override { return StateId::kPkgUpdate; }

 private:
  enum class Phase { kStart, kSizeCheck, kManifest, kScan, kFetch };

  Transition Start();
  Transition SizeChecked();
  Transition ManifestArrived();
  Transition Scanned();
  Transition StartFetch(const std::vector<size_t>& entries);
  Transition Fetched();
  Transition Finish();
  Transition WholePackage(const std::string& reason);
  Transition FailWith(const std::string& error);
  void ShowStatus(const std::wstring& text);
  void ShowProgress(int64_t done, int64_t total, bool figures);

  bool update;
  bool repair = false;
  Phase phase = Phase::kStart;
  std::string packageUrl;
  std::string manifestUrl;
  InstalledFiles ledger;
  std::shared_ptr<const PackageManifest> manifest;  // shared with the workers
  UpdatePlan plan;
  bool refetched = false;  // the entries that failed their checksum were asked for again

  DownloadJobList jobs;                  // the manifest's request
  std::shared_ptr<UpdateScan> scan;      // sizes and digests on disk, off the timer thread
  std::unique_ptr<RangeFetch> fetch;     // the planned ranges and their writers

  std::wstring statusText;
  uint64_t shownAtMs = 0;
  SpeedMeter meter;
};
