#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "app/state.h"

// What the unpacking worker shares with the state that polls it.
struct DecompressJob {
  std::wstring targetDir;    // install folder, ending with a backslash
  std::wstring archivePath;  // the downloaded package
  std::atomic<int32_t> total{1};
  std::atomic<int32_t> progress{0};
};

// Unpacks the downloaded package on a worker thread, then records its version.
class PkgDecompressState : public State {
 public:
  explicit PkgDecompressState(LauncherContext* context);
  ~PkgDecompressState() override;
  void Update() override;
  virtual void NextState();

 private:
  bool started = false;
  DecompressJob* job;  // shared with the worker; see the destructor
};
