#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/digest_text.h"
#include "workflow/held_archive.h"
#include "workflow/state.h"

// What the hashing worker shares with the state that polls it; both hold a
// reference, so the record outlives whichever lets go last.
struct ChecksumJob {
  std::wstring path;
  HeldArchive archive;  // opened by the state before the worker starts
  std::atomic<int64_t> done{0};
  std::atomic<int64_t> total{1};
  std::atomic<bool> stop{false};      // set by the state when it goes away early
  // Set last; `ok`, `digest` and `error` are complete before it.
  std::atomic<bool> finished{false};
  bool ok = false;
  Sha256Digest digest{};
  std::string error;
};

// Hashes the held archive, publishing progress; run as a background job.
void RunChecksumJob(ChecksumJob& job);

// Between the package download and the unpacking when the configuration
// names the package's SHA-256: hashes the whole archive on a worker thread
// with the progress on the page, and lets only a matching archive be unpacked.
class PkgChecksumState : public State {
 public:
  explicit PkgChecksumState(LauncherContext* context);
  ~PkgChecksumState() override;  // tells a running worker to stop
  Transition Update() override;
  StateId Id() const override { return StateId::kPkgChecksum; }
  // The package as hashed, held against writers: the unpacking takes it over.
  HeldArchive Archive() const;

 private:
  void Start();
  Transition Finish();

  bool started = false;
  std::shared_ptr<ChecksumJob> job;
};
