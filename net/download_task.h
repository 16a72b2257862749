#pragma once
// Background HTTP GET of one URL into memory or into a file. A state starts a
// request with StartDownload and polls the DownloadTask from its timer tick.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// How many bytes an in-memory body may hold, by what it carries. A request
// stops as soon as an announced length or the bytes received pass its limit.
namespace body_limit {
constexpr size_t kVersion = 64;               // "pkg.ver"
constexpr size_t kSignature = 1024;           // a configuration's ".sig"
constexpr size_t kText = 1024 * 1024;         // token replies, reports and other texts
constexpr size_t kConfiguration = 4 * 1024 * 1024;
}  // namespace body_limit

// The outcome of a request as the polling state sees it. The request thread
// writes `finished`, `received` and `total` atomically; `error`, `errorCode`,
// the body and the file are complete before `finished` becomes 1.
struct DownloadTask {
  DownloadTask();
  ~DownloadTask();
  DownloadTask(const DownloadTask&) = delete;
  DownloadTask& operator=(const DownloadTask&) = delete;

  // Back to "nothing started": counters cleared, body emptied (buffer kept),
  // localPath, error and errorCode cleared. Only while no request runs.
  void Reset();

  // Appends to the in-memory body, keeping bodySize < bodyCapacity. False
  // (and nothing appended) when a larger buffer cannot be allocated.
  bool AppendBody(const char* data, size_t size);
  // Writes a zero at body[bodySize] and returns the body up to its first zero byte.
  std::string BodyText();

  std::atomic<uint32_t> finished{0};
  std::atomic<int64_t> received{0};  // bytes so far, resume offset included
  std::atomic<int64_t> total{1};     // expected size; starts at 1 so ratios never divide by 0
  std::unique_ptr<char[]> body;
  size_t bodySize = 0;
  size_t bodyCapacity = 0;
  std::wstring localPath;  // target file; empty keeps the body in memory
  std::string error;       // empty after success
  uint32_t errorCode = 0;  // Win32 error when the local folder or file could not be made

  // Set by the caller after Reset, before the request starts:
  // the most bytes an in-memory body may hold;
  size_t bodyLimit = body_limit::kText;
  // an in-memory request is tried up to three times on connection failures
  // and broken transfers (never on an HTTP status answer);
  bool retryInMemory = false;
  // a file stays resumable after success, so that a later run sees it whole
  // instead of fetching it again, until ForgetDownloadProgress (file_resume.h)
  // ends that once the file has been used or found bad.
  bool resumableAfterSuccess = false;

  // The retry under way (1 for the first), from the failure until the next
  // attempt's first data; 0 while the transfer flows.
  std::atomic<int32_t> retrying{0};
};

// One running request, handed to its thread.
struct DownloadJob {
  std::atomic<int32_t> isrun{1};  // cleared by StopAll; the request stops at its next callback
  std::atomic<uint32_t> done{0};  // set by the thread as its last act on the job
  std::string agent;
  std::string url;
  DownloadTask* task = nullptr;
  // Called on the request's thread once the task has finished, before `done`.
  std::function<void()> onFinished;
};

// The jobs a state started; a job is freed only once its thread has ended.
using DownloadJobList = std::vector<std::unique_ptr<DownloadJob>>;

// Starts a request on a thread of its own and returns at once. When no thread
// can be started the job is left done and the task finished with an error.
// `onFinished`, when set, is called on the request's thread as soon as the
// task has finished.
void StartDownload(DownloadJobList& jobs, const std::string& agent, const std::string& url,
                   DownloadTask* task, std::function<void()> onFinished = {});

// Signals every job to stop, then waits for each to finish and frees them all.
void StopAll(DownloadJobList& jobs);

// StopAll with a bound: signals every job, waits at most `maxWaitMs` in all,
// frees the jobs that ended and keeps the others in the list (never freed
// under a running thread). Returns the tasks of the freed jobs, which the
// caller may now release.
std::vector<DownloadTask*> StopAllWithin(DownloadJobList& jobs, unsigned maxWaitMs);

// Frees the jobs whose thread has ended and returns their tasks; running jobs stay.
std::vector<DownloadTask*> FreeEndedJobs(DownloadJobList& jobs);

// Test seams. The pause before a retry is 2000 ms in the product; tests
// shorten it. A stack reservation of 0 restores the product's own.
void SetRetryPauseForTesting(unsigned ms);
void SetRequestThreadStackForTesting(size_t bytes);
