// The launcher's package checksum worker on one file, polled from a 20 ms
// timer on the UI thread as the checksum state does.
//   hash_bench.exe FILE
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

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
  auto* workerRef = new std::shared_ptr<ChecksumJob>(job);
  base::UniqueHandle thread(CreateThread(nullptr, 0, ChecksumWorker, workerRef, 0, nullptr));
  if (!thread) {
    delete workerRef;
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
