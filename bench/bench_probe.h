#pragma once
// What every bench driver measures around one job: wall time, the process's
// memory growth, and whether the UI thread's timer kept ticking meanwhile.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Memory {
  uint64_t workingSet = 0;
  uint64_t peakWorkingSet = 0;
};

inline Memory ReadMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  Memory m;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    m.workingSet = counters.WorkingSetSize;
    m.peakWorkingSet = counters.PeakWorkingSetSize;
  }
  return m;
}

struct TickStats {
  double seconds = 0;
  uint32_t ticks = 0;
  uint32_t ticksWithProgress = 0;
  double longestGapMs = 0;
  double longestGapEndMs = 0;  // when the longest gap ended, from the start
  // Gaps longer than the UI's limit, each with the performance counter's
  // reading at its end in seconds. Under wine that counter is the host's
  // CLOCK_MONOTONIC_RAW, so bench/run can set these beside the stalls its
  // native timer saw at the same moments.
  struct Gap {
    double endSeconds;
    double ms;
  };
  std::vector<Gap> longGaps;
  double longestShortGapMs = 0;  // the longest gap within the limit
};

constexpr double kTickGapLimitMs = 40;

// Runs a thread message loop with the launcher's 20 ms timer until `done`
// says so; `progress` is read on each tick, as a state would for its bar.
inline TickStats RunTicks(const std::function<bool()>& done, const std::function<int64_t()>& progress) {
  LARGE_INTEGER frequency, start, last, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  last = start;
  TickStats stats;
  int64_t seen = -1;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message != WM_TIMER) continue;
    QueryPerformanceCounter(&now);
    double gap = 1000.0 * static_cast<double>(now.QuadPart - last.QuadPart) / frequency.QuadPart;
    if (gap > stats.longestGapMs) {
      stats.longestGapMs = gap;
      stats.longestGapEndMs = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
    }
    if (gap > kTickGapLimitMs) {
      stats.longGaps.push_back({static_cast<double>(now.QuadPart) / frequency.QuadPart, gap});
    } else if (gap > stats.longestShortGapMs) {
      stats.longestShortGapMs = gap;
    }
    last = now;
    ++stats.ticks;
    int64_t p = progress();
    if (p != seen) {
      ++stats.ticksWithProgress;
      seen = p;
    }
    if (done()) break;
  }
  KillTimer(nullptr, timer);
  QueryPerformanceCounter(&now);
  stats.seconds = static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
  return stats;
}

// One line of "key=value" pairs for bench/run to parse.
inline void PrintResult(const char* job, const TickStats& ticks, const Memory& before, const Memory& after,
                        int64_t bytes, bool ok) {
  double growthMiB = after.peakWorkingSet > before.workingSet
                         ? static_cast<double>(after.peakWorkingSet - before.workingSet) / (1024.0 * 1024.0)
                         : 0.0;
  std::printf("job=%s ok=%d seconds=%.3f bytes=%lld growth_mib=%.1f peak_mib=%.1f ticks=%u "
              "ticks_with_progress=%u longest_tick_gap_ms=%.1f longest_gap_end_ms=%.0f",
              job, ok ? 1 : 0, ticks.seconds, static_cast<long long>(bytes), growthMiB,
              static_cast<double>(after.peakWorkingSet) / (1024.0 * 1024.0), ticks.ticks, ticks.ticksWithProgress,
              ticks.longestGapMs, ticks.longestGapEndMs);
  std::string longGaps;
  for (const TickStats::Gap& g : ticks.longGaps) {
    char item[64];
    std::snprintf(item, sizeof item, "%s%.4f:%.1f", longGaps.empty() ? "" : ",", g.endSeconds, g.ms);
    longGaps += item;
  }
  std::printf(" long_gaps=%s longest_short_gap_ms=%.1f\n", longGaps.empty() ? "-" : longGaps.c_str(),
              ticks.longestShortGapMs);
  std::fflush(stdout);
}

}  // namespace bench
