// The launcher's download task fetching one URL into a file, driven the way
// the package download state drives it: started, then polled from a 20 ms
// timer on the UI thread.
//   download_bench.exe URL TARGET_FILE
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/bench_probe.h"
#include "base/text.h"
#include "net/download_task.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_bench URL TARGET_FILE\n");
    return 2;
  }
  std::string url = base::Utf8(argv[1]);
  DeleteFileW(argv[2]);

  bench::Memory before = bench::ReadMemory();
  DownloadTask task;
  task.localPath = argv[2];
  DownloadJobList jobs;
  StartDownload(jobs, "bench", url, &task);
  bench::TickStats ticks = bench::RunTicks([&] { return task.finished.load() != 0; },
                                           [&] { return task.received.load(); });
  bench::Memory after = bench::ReadMemory();
  StopAll(jobs);
  bool ok = task.error.empty();
  if (!ok) std::fprintf(stderr, "download failed: %s\n", task.error.c_str());
  bench::PrintResult("download", ticks, before, after, task.received.load(), ok);
  return ok ? 0 : 1;
}
