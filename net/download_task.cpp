#include "net/download_task.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/error_text.h"
#include "base/fs.h"
#include "base/log.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/file_resume.h"
#include "net/http_url.h"
#include "net/resume_rules.h"
#include "net/transport.h"
#include "net/transport_errors.h"

namespace {

constexpr size_t kInitialBodyCapacity = 4096;
constexpr int kMaxRetries = 30;  // so a file request makes at most 31 attempts
constexpr int kMaxInMemoryRetries = 2;  // three attempts for the small requests
constexpr int kMaxStartOvers = 3;  // fresh starts after a range answer we cannot use
constexpr DWORD kSharingViolation = ERROR_SHARING_VIOLATION;  // 32: never retried
// As many hops as common HTTP clients follow by themselves.
constexpr int kMaxRedirects = 20;
// wine's WinHTTP (used behind a proxy) reports an untrusted certificate as
// this channel error, like a failed handshake: one more try, never a storm.
constexpr int kMaxChannelErrorAttempts = 2;

// Failures another attempt cannot mend.
bool FinalError(uint32_t code) {
  return code == kSharingViolation || code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
}

std::atomic<unsigned> g_retryPauseMs{2000};
// The HTTP library receives into a buffer on the request thread's stack
// (CPPHTTPLIB_RECV_BUFSIZ, 2 MiB): the stack is reserved with room to spare
// and committed only as far as it is used.
constexpr size_t kRequestThreadStack = 8u << 20;
std::atomic<size_t> g_threadStack{kRequestThreadStack};

std::string PathText(const std::wstring& path) { return base::Utf8(path); }

// Cuts the file back to `length` bytes and continues writing there. A retry
// thus always continues exactly where the counted bytes end, whatever a
// broken attempt left behind after them.
// A file that already has that length is left as it is: under wine on ext4,
// cutting a file to zero (even an empty one) makes its close start writing
// the whole file back to the disk at once, which a fresh download would pay.
bool TruncateAt(HANDLE file, int64_t length) {
  LARGE_INTEGER at;
  at.QuadPart = length;
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return false;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file, &size) && size.QuadPart == length) return true;
  return SetEndOfFile(file) != FALSE;
}

// Opens the task's file on the first body data, creating missing folders.
// Records the Win32 error and the failure text in the task when it cannot.
// The file keeps its first `keep` bytes (those a resumed request continues).
bool OpenTargetFile(DownloadTask* task, base::UniqueFile& file, int64_t keep) {
  std::wstring dir = base::DirectoryPart(task->localPath);
  if (!dir.empty() && !base::DirectoryExists(dir)) {
    unsigned long rc = base::CreateDirectoryTree(dir);
    if (rc != 0) {
      task->errorCode = static_cast<uint32_t>(rc);
      task->error = Log("Create local dir failed: %s, error code: %d", PathText(dir).c_str(),
                        static_cast<int>(rc));
      return false;
    }
  }
  // Shared like a C runtime "wb" stream, so readers may watch the file grow.
  HANDLE h = CreateFileW(task->localPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD err = GetLastError();
  if (h == INVALID_HANDLE_VALUE) {
    task->errorCode = err;
    task->error = Log("Create local file failed: %s, error code: %d",
                      PathText(task->localPath).c_str(), static_cast<int>(err));
    return false;
  }
  file.Reset(h);
  if (!TruncateAt(h, keep)) {
    DWORD code = GetLastError();
    task->errorCode = code;
    task->error = Log("Create local file failed: %s, error code: %d", PathText(task->localPath).c_str(),
                      static_cast<int>(code));
    file.Reset();
    return false;
  }
  return true;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// Sleeps before a retry, in short slices so a stop request is seen at once.
// False when the job was told to stop meanwhile.
bool PauseBeforeRetry(const DownloadJob* job, unsigned ms) {
  unsigned left = ms;
  while (left > 0) {
    if (job->isrun.load() != 1) return false;
    unsigned slice = left < 20 ? left : 20;
    Sleep(slice);
    left -= slice;
  }
  return job->isrun.load() == 1;
}

// One request with its retries; runs on the job's own thread.
class Request {
 public:
  Request(DownloadJob* job, const HttpUrl& url) : job_(job), task_(job->task), url_(url) {}

  void Run() {
    const bool toFile = !task_->localPath.empty();
    if (toFile) {
      resume_.reset(new FileResume(task_->localPath, job_->url));
      resumeOffset_ = resume_->Plan();
      validator_ = resume_->Validator();
      if (resumeOffset_ > 0) {
        // The bar starts where the earlier run left off.
        task_->received.exchange(resumeOffset_);
        if (resume_->KnownLength() > 0) task_->total.exchange(resume_->KnownLength());
      }
    }
    int triesLeft = toFile ? kMaxRetries : (task_->retryInMemory ? kMaxInMemoryRetries : 0);
    int retries = 0;
    int startOvers = 0;
    for (;;) {
      if (Attempt()) {
        if (toFile && task_->error.empty() && !task_->resumableAfterSuccess) resume_->Forget();
        break;
      }
      if (startOver_ && job_->isrun.load() == 1 && startOvers++ < kMaxStartOvers) {
        // The server cannot continue the bytes on disk: fetch the whole body.
        startOver_ = false;
        resume_->Forget();
        resumeOffset_ = 0;
        validator_.clear();
        task_->received.exchange(0);
        if (file_ && !TruncateAt(file_.Get(), 0)) break;
        continue;
      }
      // No usable response. Retry only while the failure may be passing and,
      // for a file, while something is left to fetch.
      bool retry = job_->isrun.load() == 1 && status_ < 400 && !FinalError(task_->errorCode) &&
                   !outOfMemory_ && !final_ && triesLeft > 0 &&
                   (!toFile || task_->received.load() < task_->total.load());
      if (!retry) break;
      --triesLeft;
      ++retries;
      task_->retrying.exchange(retries);
      Log("request broken, retry %d: %s", retries, job_->url.c_str());
      unsigned pause = toFile ? g_retryPauseMs.load() : g_retryPauseMs.load() * retries / 4;
      if (!PauseBeforeRetry(job_, pause)) break;
      if (toFile) {
        resumeOffset_ = task_->received.load();
        if (file_ && !TruncateAt(file_.Get(), resumeOffset_)) {
          Log("seek in local file failed: %s, %s", PathText(task_->localPath).c_str(),
              base::ErrorText(GetLastError()).c_str());
          break;
        }
      } else {
        // An in-memory body starts over.
        task_->bodySize = 0;
        task_->received.exchange(0);
        task_->total.exchange(1);
      }
    }
    task_->retrying.exchange(0);
    if (task_->error.empty() && !answered_)
      task_->error = Log("http response failed, isrun:%d, res:NULL, status: %d, url: %s",
                         static_cast<int>(job_->isrun.load()), status_, job_->url.c_str());
  }

  // Closes the file so that it is complete before the task reports the end.
  void CloseFile() { file_.Reset(); }

 private:
  // True when a response came back (successful or not): the request is over.
  bool Attempt() {
    status_ = 0;
    complete_ = false;
    startOver_ = false;
    pendingRecord_ = false;
    HeaderList headers;
    if (resumeOffset_ > 0) {
      char range[64];
      snprintf(range, sizeof range, "bytes=%lld-", static_cast<long long>(resumeOffset_));
      headers.emplace_back("Range", range);
      // A body that changed on the server comes whole instead of spliced.
      if (!validator_.empty()) headers.emplace_back("If-Range", validator_);
    }
    TransportCallbacks callbacks;
    callbacks.onResponse = [this](const TransportResponse& r) { return OnResponse(r); };
    callbacks.onData = [this](const char* data, size_t size) { return OnData(data, size); };
    callbacks.onProgress = [this](uint64_t current, uint64_t length) {
      return OnProgress(current, length);
    };
    callbacks.keepGoing = [this] { return job_->isrun.load() == 1; };

    // Every attempt starts at the job's URL; redirects are followed here, the
    // same way for both transports.
    HttpUrl at = url_;
    TransportResult result;
    for (int hops = 0;; ++hops) {
      result = MakeTransport(at)->Get(at, headers, callbacks);
      if (result.failure != TransportFailure::kNone) return Failed(result);
      if (result.location.empty()) break;
      if (hops == kMaxRedirects) {
        status_ = result.status;
        task_->error = Log("too many redirects, url: %s", job_->url.c_str());
        final_ = true;
        return false;
      }
      HttpUrl next;
      bool downgrade = false;
      if (!ResolveRedirect(at, result.location, next, downgrade)) {
        status_ = result.status;
        task_->error = downgrade
                           ? Log("redirect from https to http refused, url: %s", job_->url.c_str())
                           : Log("redirect location refused: %s, url: %s",
                                 result.location.c_str(), job_->url.c_str());
        final_ = true;
        return false;
      }
      Log("redirect %d to %s", result.status, result.location.c_str());
      at = next;
    }
    int code = result.status;
    if (complete_) {
      Log("%s is already complete (%lld bytes)", PathText(task_->localPath).c_str(),
          static_cast<long long>(resumeOffset_));
      task_->received.exchange(resumeOffset_);
      task_->total.exchange(resumeOffset_);
      task_->error.clear();
      answered_ = true;
      return true;
    }

    answered_ = true;
    if (code == 200 || code == 204 || code == 206) {
      task_->error.clear();  // an earlier attempt may have failed
    } else {
      task_->error = Log("http response status: %d, url: %s", code, job_->url.c_str());
    }
    return true;
  }

  // No usable response. A certificate the system rejects is final; the
  // channel error that may be one is tried once more at most.
  bool Failed(const TransportResult& result) {
    std::string tlsText = TlsFailureText(result, job_->url);
    if (!tlsText.empty()) {
      task_->error = tlsError_ = Log("%s", tlsText.c_str());
      if (result.failure == TransportFailure::kTlsCertificate) final_ = true;
      if (result.systemCode == winhttp_code::kSecureChannelError &&
          ++channelErrors_ >= kMaxChannelErrorAttempts)
        final_ = true;
    } else if (!tlsError_.empty() && task_->error == tlsError_) {
      task_->error.clear();  // the last failure was another one; its text stands
    }
    return false;
  }

  bool OnResponse(const TransportResponse& r) {
    status_ = r.status;
    if (!resume_) {  // in memory: nothing to resume, but a limit
      uint64_t length = 0;
      if (status_ < 400 && ParseContentLength(r.Header("Content-Length"), length) &&
          length > task_->bodyLimit)
        return OverLimit();
      return status_ < 400;
    }
    ResumeHeaders headers{r.Header("ETag"), r.Header("Last-Modified"), r.Header("Content-Range"),
                          r.Header("Content-Length")};
    ResumePlan plan = PlanAnswer(status_, resumeOffset_, validator_, headers);
    switch (plan.answer) {
      case RangeAnswer::kAlreadyComplete:
        complete_ = true;  // the answer's own body is not the file's
        return true;
      case RangeAnswer::kStartOver:
        Log("range answer %d (%s) does not continue byte %lld, starting over: %s", status_,
            headers.contentRange.c_str(), static_cast<long long>(resumeOffset_), job_->url.c_str());
        startOver_ = true;
        return false;
      case RangeAnswer::kWholeBody:
        // The server ignored "Range", or the body changed ("If-Range"):
        // appending it would corrupt the file, so start over from byte 0.
        Log("resume answered with the whole body, starting over: %s", job_->url.c_str());
        resumeOffset_ = 0;
        task_->received.exchange(0);
        if (file_ && !TruncateAt(file_.Get(), 0)) return false;
        break;
      case RangeAnswer::kAppend:
      case RangeAnswer::kOther:
        break;
    }
    if (status_ >= 400) return false;
    if (plan.remember) {
      validator_ = plan.validator;
      pendingValidator_ = plan.validator;
      pendingLength_ = plan.length;
      pendingRecord_ = true;  // written with the first data, once the folder exists
    }
    return true;
  }

  bool OnData(const char* data, size_t size) {
    if (complete_) return job_->isrun.load() == 1;
    if (!task_->localPath.empty() && !file_) {
      if (!OpenTargetFile(task_, file_, resumeOffset_)) return false;
    }
    if (pendingRecord_) {
      // Before any of the body's bytes reach the disk.
      pendingRecord_ = false;
      resume_->Remember(pendingValidator_, pendingLength_);
    }
    if (task_->retrying.load() != 0) task_->retrying.exchange(0);
    if (file_) {
      if (!WriteAll(file_.Get(), data, size)) {
        DWORD err = GetLastError();
        task_->errorCode = err;
        task_->error = Log("Write local file failed: %s, error code: %d",
                           PathText(task_->localPath).c_str(), static_cast<int>(err));
        return false;
      }
    } else if (size > task_->bodyLimit || task_->bodySize > task_->bodyLimit - size) {
      return OverLimit();
    } else if (!task_->AppendBody(data, size)) {
      outOfMemory_ = true;
      task_->error = Log("Receive body failed, out of memory at %lld bytes, url: %s",
                         static_cast<long long>(task_->bodySize), job_->url.c_str());
      return false;
    }
    return job_->isrun.load() == 1;
  }

  // An in-memory body larger than its limit: nothing more is read or retried.
  bool OverLimit() {
    final_ = true;
    task_->error = Log("response body larger than its limit of %llu bytes, url: %s",
                       static_cast<unsigned long long>(task_->bodyLimit), job_->url.c_str());
    return false;
  }

  bool OnProgress(uint64_t current, uint64_t length) {
    if (complete_) return job_->isrun.load() == 1;
    task_->received.exchange(resumeOffset_ + static_cast<int64_t>(current));
    task_->total.exchange(resumeOffset_ + static_cast<int64_t>(length));
    return job_->isrun.load() == 1;
  }

  DownloadJob* job_;
  DownloadTask* task_;
  HttpUrl url_;
  int64_t resumeOffset_ = 0;
  int status_ = 0;
  bool answered_ = false;  // a response came back (its status decides the outcome)
  bool complete_ = false;  // this attempt found the file on disk whole (416)
  bool startOver_ = false;
  bool outOfMemory_ = false;
  std::string validator_;  // sent back in "If-Range"
  bool pendingRecord_ = false;
  std::string pendingValidator_;
  int64_t pendingLength_ = -1;
  std::unique_ptr<FileResume> resume_;  // file requests only
  bool final_ = false;     // the failure is not one that a retry can mend
  int channelErrors_ = 0;  // attempts that ended in WinHTTP's channel error
  std::string tlsError_;   // the text of the last TLS failure
  base::UniqueFile file_;
};

void Finish(DownloadJob* job) {
  // Order matters to the pollers: the outcome is complete before `finished`,
  // and `done` is the thread's last touch of the job.
  job->task->finished.exchange(1);
  if (job->onFinished) job->onFinished();
  job->done.exchange(1);
}

DWORD WINAPI RequestThread(void* arg) {
  DownloadJob* job = static_cast<DownloadJob*>(arg);
  DownloadTask* task = job->task;
  Log("start Request, agent:%s, url: %s !", job->agent.c_str(), job->url.c_str());

  HttpUrl url;
  if (!ParseHttpUrl(job->url, url)) {
    task->error = Log("parse httpurl failed, url=%s", job->url.c_str());
    Finish(job);
    return 0;
  }

  {
    Request request(job, url);
    request.Run();
    Log("Request complete!");
    request.CloseFile();
    Finish(job);
  }  // the client and response were released inside Run; nothing shared is touched here
  return 0;
}

}  // namespace

DownloadTask::DownloadTask()
    : body(new (std::nothrow) char[kInitialBodyCapacity]), bodyCapacity(body ? kInitialBodyCapacity : 0) {}

DownloadTask::~DownloadTask() = default;

void DownloadTask::Reset() {
  finished.exchange(0);
  received.exchange(0);
  total.exchange(1);
  bodySize = 0;
  localPath.clear();
  error.clear();
  errorCode = 0;
  retryInMemory = false;
  bodyLimit = body_limit::kText;
  resumableAfterSuccess = false;
  retrying.exchange(0);
}

bool DownloadTask::AppendBody(const char* data, size_t size) {
  if (size > SIZE_MAX - 1 - bodySize) return false;
  size_t needed = bodySize + size + 1;  // room for the zero that readers write
  size_t capacity = bodyCapacity ? bodyCapacity : kInitialBodyCapacity;
  while (capacity < needed) {
    if (capacity > SIZE_MAX / 2) return false;
    capacity *= 2;
  }
  if (capacity > bodyCapacity) {
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (!grown) return false;
    if (bodySize) std::memcpy(grown.get(), body.get(), bodySize);
    body = std::move(grown);
    bodyCapacity = capacity;
  }
  if (size) std::memcpy(body.get() + bodySize, data, size);
  bodySize += size;
  return true;
}

std::string DownloadTask::BodyText() {
  if (!body) return std::string();
  body[bodySize] = 0;
  return std::string(body.get());
}

void StartDownload(DownloadJobList& jobs, const std::string& agent, const std::string& url,
                   DownloadTask* task, std::function<void()> onFinished) {
  jobs.push_back(std::make_unique<DownloadJob>());
  DownloadJob* job = jobs.back().get();
  job->agent = agent;
  job->url = url;
  job->task = task;
  job->onFinished = std::move(onFinished);

  size_t stack = g_threadStack.load();
  base::UniqueHandle thread(CreateThread(nullptr, stack, RequestThread, job,
                               stack ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0, nullptr));
  if (!thread) {
    // Nothing will ever finish this job, so end it here; StopAll must not wait for it.
    task->error = Log("start request thread failed: %s, url: %s",
                      base::ErrorText(GetLastError()).c_str(), url.c_str());
    Finish(job);
    return;
  }
  // The job's done flag, not the handle, tells when it ended.
}

void StopAll(DownloadJobList& jobs) {
  // Every job is told first, so all of them wind down in parallel.
  for (auto& job : jobs) job->isrun.exchange(0);
  for (auto& job : jobs)
    while (job->done.load() == 0) Sleep(1);
  DownloadJobList().swap(jobs);
}

std::vector<DownloadTask*> StopAllWithin(DownloadJobList& jobs, unsigned maxWaitMs) {
  for (auto& job : jobs) job->isrun.exchange(0);
  ULONGLONG deadline = GetTickCount64() + maxWaitMs;
  for (auto& job : jobs) {
    while (job->done.load() == 0 && GetTickCount64() < deadline) Sleep(1);
  }
  return FreeEndedJobs(jobs);
}

std::vector<DownloadTask*> FreeEndedJobs(DownloadJobList& jobs) {
  std::vector<DownloadTask*> tasks;
  DownloadJobList running;
  for (auto& job : jobs) {
    if (job->done.load() != 0)
      tasks.push_back(job->task);  // the job is freed with the old list
    else
      running.push_back(std::move(job));
  }
  jobs.swap(running);
  return tasks;
}

void SetRetryPauseForTesting(unsigned ms) { g_retryPauseMs.store(ms); }
void SetRequestThreadStackForTesting(size_t bytes) { g_threadStack.store(bytes ? bytes : kRequestThreadStack); }
