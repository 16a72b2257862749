#pragma once
// The figures a download adds to the page's status line (size done and
// total, speed, time left), the retry notice, and the disk-space message.
// Free of windows.h; sizes use 1024-byte units.
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

// For messages: "830 B", "512.0 KB", "120.5 MB", "1.2 GB".
std::wstring ByteSizeText(int64_t bytes);
// For the status line, where room is short: "830B", "512K", "120M", "1.2G"
// (a decimal only below 10).
std::wstring CompactSizeText(int64_t bytes);
// "35M/s", "2.4M/s"; empty when the speed is not known (not above 0).
std::wstring SpeedText(double bytesPerSecond);
// "剩余30秒", "剩余5分钟", "剩余3小时"; empty when not known (below 0) or
// beyond 99 hours.
std::wstring TimeLeftText(int64_t seconds);

// What follows the state's own text during a download, kept short enough for
// the page: " 120M/1.2G 35M/s 剩余30秒". A total not above `done`
// (or not above 1, the task's "unknown") shows the bytes done only; an
// unknown speed leaves out the speed and the time left.
std::wstring TransferFiguresText(int64_t done, int64_t total, double bytesPerSecond);

// What follows the state's own text while a broken connection is retried.
std::wstring RetryText(int retry);

// The message of a package that does not fit on the install drive.
std::wstring DiskSpaceText(int64_t needed, int64_t available);

// Bytes per second over the last few seconds of (time, bytes) samples.
class SpeedMeter {
 public:
  // Forgets everything: after a restart of the transfer, or a jump of the
  // count that is no transfer (a resumed download's first figure).
  void Restart() { samples_.clear(); }
  // A sample at `ms` (a monotonic clock) with `bytes` done so far; a count
  // that goes back restarts the meter.
  void Add(uint64_t ms, int64_t bytes);
  // -1 until the samples span at least half a second.
  double BytesPerSecond() const;

 private:
  static constexpr uint64_t kWindowMs = 5000;
  std::deque<std::pair<uint64_t, int64_t>> samples_;
};
