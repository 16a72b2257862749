// The launcher's package checksum worker on one file, polled from a 20 ms
// timer on the UI thread as the checksum state does.
//   hash_bench.exe FILE
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "base/background_job.h"
#include "base/handles.h"
#include "bench/bench_probe.h"
#include "workflow/pkg_checksum_state.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hash_bench FILE\n");
    return 2;
  }
  bench::Memory before = bench::ReadMemory();
  auto job = std::make_shared<ChecksumJob>();
  job->path = argv[1];
  // The worker hashes the file the state holds; so it does here.
  job->archive = HoldArchive(job->path);
  if (!*job->archive) {
    std::fprintf(stderr, "the file cannot be opened\n");
    return 1;
  }
  base::UniqueHandle thread = base::StartBackgroundJob(job, RunChecksumJob);
  if (!thread) {
    std::fprintf(stderr, "the worker cannot start\n");
    return 1;
  }
  bench::TickStats ticks = bench::RunTicks([&] { return job->finished.load(); }, [&] { return job->done.load(); });
  WaitForSingleObject(thread.Get(), INFINITE);
  bench::Memory after = bench::ReadMemory();
  bench::PrintResult("hash", ticks, before, after, job->done.load(), job->ok);
  if (job->ok) std::printf("sha256=%s\n", Sha256Text(job->digest).c_str());
  return job->ok ? 0 : 1;
}
