#pragma once
// One way to run a job on a thread of its own. The job is a record of
// atomics that the thread writes and the window's timer reads; the starter
// and the thread each hold a reference, so the record outlives whichever of
// them lets go last. Stopping is the job's own flag, checked by the work.
#include <windows.h>

#include <memory>

#include "base/handles.h"

namespace base {

namespace detail {

template <class Job>
struct JobStart {
  std::shared_ptr<Job> job;
  void (*work)(Job&);
};

template <class Job>
DWORD WINAPI RunJob(void* param) {
  std::unique_ptr<JobStart<Job>> start(static_cast<JobStart<Job>*>(param));
  start->work(*start->job);
  return 0;
}

}  // namespace detail

// Runs `work(*job)` on a new thread. The thread's handle, for a caller that
// waits for the thread's end; empty when no thread could be made (nothing
// runs then, and GetLastError tells why).
template <class Job>
UniqueHandle StartBackgroundJob(const std::shared_ptr<Job>& job, void (*work)(Job&)) {
  auto* start = new detail::JobStart<Job>{job, work};
  UniqueHandle thread(CreateThread(nullptr, 0, detail::RunJob<Job>, start, 0, nullptr));
  if (!thread) {
    DWORD error = GetLastError();
    delete start;
    SetLastError(error);
  }
  return thread;
}

}  // namespace base
