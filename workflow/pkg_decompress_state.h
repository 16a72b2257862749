#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workflow/held_archive.h"
#include "workflow/state.h"

// What the unpacking worker shares with the state that polls it. The state
// and the worker each hold a reference, so the record outlives whichever of
// them finishes last.
struct DecompressJob {
  std::wstring targetDir;    // install folder, ending with a backslash
  std::wstring archivePath;  // the downloaded package
  HeldArchive archive;       // the package, held open until the state has finished
  unsigned workers = 0;      // unpacking threads; 0 lets the package's size decide
  // The list of installed files ("pkg.files"), rewritten once the package is
  // unpacked (empty: none is kept), and the patterns of the player's own
  // files, which are written only where missing.
  std::wstring ledgerPath;
  std::vector<std::string> keepLocal;
  std::atomic<int32_t> total{1};
  std::atomic<int32_t> progress{0};
  // Set before `total` first changes: the archive could be read as a zip.
  std::atomic<bool> archiveIsZip{false};
  // Set before `progress` reaches `total`: entries that could not be written
  // (a read-only file from an earlier package that cannot be replaced is
  // one), and whether any of them failed on the archive's own data.
  std::atomic<int32_t> failedEntries{0};
  std::atomic<bool> archiveFault{false};
  // Tests only: called on the worker when it starts and after each entry's
  // progress has been published, to let a test observe every step.
  std::function<void()> stepHook;
};

// Unpacks the held archive, publishing progress; run as a background job.
void RunDecompressJob(DecompressJob& job);

// Unpacks the downloaded package on a worker thread, then records its version.
class PkgDecompressState : public State {
 public:
  // `archive`: the package as the checksum step held it; without it the
  // state holds the package itself.
  explicit PkgDecompressState(LauncherContext* context, HeldArchive archive = nullptr);
  Transition Update() override;
  StateId Id() const override { return StateId::kPkgDecompress; }

  const std::shared_ptr<DecompressJob>& Job() const { return job; }

 private:
  void Start();
  void Finish();

  bool started = false;
  std::shared_ptr<DecompressJob> job;
};
