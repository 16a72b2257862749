// The launcher's unpacking worker on one package, polled from a 20 ms timer
// on the UI thread as the decompression state does.
//   unpack_bench.exe PACKAGE.zip TARGET_FOLDER
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/bench_probe.h"
#include "base/background_job.h"
#include "base/handles.h"
#include "workflow/pkg_decompress_state.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unpack_bench PACKAGE.zip TARGET_FOLDER\n");
    return 2;
  }
  std::wstring target = argv[2];
  if (target.back() != L'\\' && target.back() != L'/') target += L'\\';
  CreateDirectoryW(target.c_str(), nullptr);

  bench::Memory before = bench::ReadMemory();
  auto job = std::make_shared<DecompressJob>();
  job->archivePath = argv[1];
  job->targetDir = target;
  // The worker reads the archive the state holds; so it does here.
  job->archive = HoldArchive(job->archivePath);
  if (!*job->archive) {
    std::fprintf(stderr, "the package cannot be opened\n");
    return 1;
  }
  base::UniqueHandle thread = base::StartBackgroundJob(job, RunDecompressJob);
  if (!thread) {
    std::fprintf(stderr, "the worker cannot start\n");
    return 1;
  }
  bench::TickStats ticks = bench::RunTicks([&] { return job->progress.load() >= job->total.load(); },
                                           [&] { return static_cast<int64_t>(job->progress.load()); });
  WaitForSingleObject(thread.Get(), INFINITE);
  bench::Memory after = bench::ReadMemory();
  // Every entry must be in place: a package with failed entries is not installed.
  bool ok = job->archiveIsZip.load() && job->failedEntries.load() == 0;
  bench::PrintResult("unpack", ticks, before, after, job->total.load(), ok);
  return ok ? 0 : 1;
}
