#pragma once
// Byte ranges of one URL, fetched on a thread of their own over one
// transport (kept-alive connections): one "Range: bytes=a-b" per request,
// every request after the first pinned with "If-Range" to the validator of
// the first answer, so that all the ranges come from one and the same file.
// Each 206 must carry exactly the range asked for. The bytes go to a sink
// with their offset in the file. A server that answers with 200 sends the
// whole file instead: it is written to a given file and the job ends with
// the whole body, for the caller to use as a whole download.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"

struct ByteRange {
  uint64_t offset = 0;
  uint64_t length = 0;  // at least 1
};

enum class RangeDownloadOutcome {
  kRunning,
  kRanges,     // every range went to the sink, whole
  kWholeBody,  // the server sent the whole file: it is in `wholeBodyPath`
  kFailed,     // `error` says why
};

// Gets the bytes of range `index` in order: `data` is at `offset` in the file.
// False stops the job; `error` is then its error text.
using RangeSink = std::function<bool(size_t index, uint64_t offset, const char* data, size_t size,
                                     std::string* error)>;

// The record the job's thread writes and the window's timer reads.
struct RangeDownload {
  // Set before the start:
  std::string url;
  std::vector<ByteRange> ranges;
  // Pins the first request too (a range fetched again later); empty: the
  // first answer's ETag, else its Last-Modified, pins the others.
  std::string validator;
  // Where a 200 answer's body goes (created or truncated); empty: a 200 fails.
  std::wstring wholeBodyPath;
  RangeSink sink;

  // While it runs (atomics):
  std::atomic<int32_t> isrun{1};       // cleared by a stop; the job ends at its next look
  std::atomic<uint64_t> received{0};   // bytes of the ranges (or the whole body) so far
  std::atomic<uint64_t> planned{0};    // their sum; the whole body's length once it comes
  std::atomic<uint32_t> finished{0};   // set last, once the fields below are complete

  // Once finished:
  RangeDownloadOutcome outcome = RangeDownloadOutcome::kRunning;
  std::string error;
  bool sinkRefused = false;     // the sink stopped the job (its own error)
  std::string pinnedValidator;  // what the requests were pinned to; empty: nothing was
  uint64_t wholeLength = 0;     // bytes written to `wholeBodyPath`
};

// Runs a RangeDownload on a thread and stops it: a stop ends the job at its
// next look at the network (a tick or two), and the destructor stops and
// waits, so no thread outlives its owner.
class RangeDownloadRunner {
 public:
  RangeDownloadRunner() = default;
  ~RangeDownloadRunner() { Stop(); }
  RangeDownloadRunner(const RangeDownloadRunner&) = delete;
  RangeDownloadRunner& operator=(const RangeDownloadRunner&) = delete;

  // Starts `job`. When no thread can be started the job is finished at once
  // with the error.
  void Start(const std::shared_ptr<RangeDownload>& job);
  // Tells the job to stop and waits for its thread.
  void Stop();

 private:
  std::shared_ptr<RangeDownload> job_;
  base::UniqueHandle thread_;
};

// Test seam: the pause before a broken request is taken up again (2000 ms).
void SetRangeRetryPauseForTesting(unsigned ms);
