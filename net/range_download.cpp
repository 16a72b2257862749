#include "net/range_download.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "base/background_job.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/log.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/http_url.h"
#include "net/resume_rules.h"
#include "net/transport.h"
#include "net/transport_errors.h"

namespace {

constexpr int kMaxRetries = 5;    // broken requests taken up again, for the whole job
constexpr int kMaxRedirects = 5;  // per request
std::atomic<unsigned> g_retryPauseMs{2000};

bool PauseBeforeRetry(const RangeDownload& job, unsigned ms) {
  for (unsigned left = ms; left > 0;) {
    if (job.isrun.load() != 1) return false;
    unsigned slice = left < 20 ? left : 20;
    Sleep(slice);
    left -= slice;
  }
  return job.isrun.load() == 1;
}

bool SameServer(const HttpUrl& a, const HttpUrl& b) {
  return a.secure == b.secure && a.host == b.host && a.port == b.port;
}

// The fetching, on the job's thread.
class Fetch {
 public:
  explicit Fetch(RangeDownload& job) : job_(job) {}

  void Run() {
    Log("start ranged request: %llu ranges, url: %s", static_cast<unsigned long long>(job_.ranges.size()),
        job_.url.c_str());
    if (!ParseHttpUrl(job_.url, at_)) return Fail(Log("parse httpurl failed, url=%s", job_.url.c_str()));
    if (!job_.sink) return Fail(Log("ranged request without a sink, url: %s", job_.url.c_str()));
    uint64_t planned = 0;
    for (const ByteRange& r : job_.ranges) {
      if (r.length == 0 || r.offset > UINT64_MAX - r.length) {
        return Fail(Log("bad range %" PRIu64 "+%" PRIu64 ", url: %s", r.offset, r.length, job_.url.c_str()));
      }
      planned += r.length;
    }
    job_.planned.exchange(planned);
    validator_ = job_.validator;
    int retries = 0;
    for (index_ = 0; index_ < job_.ranges.size(); ++index_) {
      const ByteRange& range = job_.ranges[index_];
      next_ = range.offset;
      end_ = range.offset + range.length;
      while (next_ < end_) {
        Step step = Request();
        if (step == Step::kWhole) return Whole();
        if (step == Step::kDone) break;
        if (step == Step::kFailed) return;
        // Broken: the rest of this range once more, after a pause.
        if (job_.isrun.load() != 1) return Fail(Stopped());
        if (retries++ == kMaxRetries) return Fail(BrokenText());
        Log("ranged request broken at %" PRIu64 ", retry %d: %s", next_, retries, job_.url.c_str());
        if (!PauseBeforeRetry(job_, g_retryPauseMs.load())) return Fail(Stopped());
      }
    }
    job_.pinnedValidator = validator_;
    job_.outcome = RangeDownloadOutcome::kRanges;
  }

 private:
  enum class Step { kDone, kBroken, kWhole, kFailed };

  void Fail(const std::string& error) {
    job_.error = error;
    job_.outcome = RangeDownloadOutcome::kFailed;
    wholeFile_.Reset();
  }

  std::string Stopped() {
    return Log("http response failed, isrun:%d, res:NULL, status: %d, url: %s",
               static_cast<int>(job_.isrun.load()), status_, job_.url.c_str());
  }

  std::string BrokenText() {
    return tlsText_.empty() ? Stopped() : Log("%s", tlsText_.c_str());
  }

  // One request for [next_, end_), following redirects.
  Step Request() {
    char value[64];
    snprintf(value, sizeof value, "bytes=%" PRIu64 "-%" PRIu64, next_, end_ - 1);
    HeaderList headers{{"Range", value}};
    if (!validator_.empty()) headers.emplace_back("If-Range", validator_);
    status_ = 0;
    answer_ = Answer::kNone;
    TransportCallbacks callbacks;
    callbacks.onResponse = [this](const TransportResponse& r) { return OnResponse(r); };
    callbacks.onData = [this](const char* data, size_t size) { return OnData(data, size); };
    callbacks.onProgress = [this](uint64_t, uint64_t) { return job_.isrun.load() == 1; };
    callbacks.keepGoing = [this] { return job_.isrun.load() == 1; };

    TransportResult result;
    for (int hops = 0;; ++hops) {
      // One transport for the whole job: its connections stay open between requests.
      if (!transport_ || !SameServer(transportFor_, at_)) {
        transport_ = MakeTransport(at_);
        transportFor_ = at_;
      }
      result = transport_->Get(at_, headers, callbacks);
      if (result.failure != TransportFailure::kNone || result.location.empty()) break;
      HttpUrl next;
      bool downgrade = false;
      if (hops == kMaxRedirects) {
        Fail(Log("too many redirects, url: %s", job_.url.c_str()));
        return Step::kFailed;
      }
      if (!ResolveRedirect(at_, result.location, next, downgrade)) {
        Fail(downgrade ? Log("redirect from https to http refused, url: %s", job_.url.c_str())
                       : Log("redirect location refused: %s, url: %s", result.location.c_str(), job_.url.c_str()));
        return Step::kFailed;
      }
      Log("redirect %d to %s", result.status, result.location.c_str());
      at_ = next;
    }
    if (answer_ == Answer::kRefused) {
      Fail(refusal_);
      return Step::kFailed;
    }
    if (answer_ == Answer::kOther) {
      Fail(Log("http response status: %d, url: %s", status_, job_.url.c_str()));
      return Step::kFailed;
    }
    if (result.failure != TransportFailure::kNone) {
      tlsText_ = TlsFailureText(result, job_.url);
      if (result.failure == TransportFailure::kTlsCertificate) {
        Fail(Log("%s", tlsText_.c_str()));
        return Step::kFailed;
      }
      return Step::kBroken;
    }
    if (answer_ == Answer::kWhole) {
      if (wholeAnnounced_ >= 0 && job_.wholeLength != static_cast<uint64_t>(wholeAnnounced_)) {
        Fail(Log("whole body cut short: %" PRIu64 " of %lld bytes, url: %s", job_.wholeLength,
                 static_cast<long long>(wholeAnnounced_), job_.url.c_str()));
        return Step::kFailed;
      }
      return Step::kWhole;
    }
    if (answer_ != Answer::kRange) return Step::kBroken;  // no answer came
    // A 206 that ended early without a transport failure: ask for the rest.
    return next_ == end_ ? Step::kDone : Step::kBroken;
  }

  bool Refuse(const std::string& why) {
    answer_ = Answer::kRefused;
    refusal_ = why;
    return false;
  }

  bool OnResponse(const TransportResponse& r) {
    status_ = r.status;
    if (job_.isrun.load() != 1) return false;
    if (status_ == 200) return StartWhole(r);
    if (status_ != 206) {
      answer_ = Answer::kOther;
      return false;
    }
    ContentRange range;
    std::string text = r.Header("Content-Range");
    if (!ParseContentRange(text, &range) || range.unsatisfied || range.first < 0 ||
        static_cast<uint64_t>(range.first) != next_ || static_cast<uint64_t>(range.last) != end_ - 1) {
      return Refuse(Log("content range \"%s\" does not match bytes=%" PRIu64 "-%" PRIu64 ", url: %s",
                        text.c_str(), next_, end_ - 1, job_.url.c_str()));
    }
    if (range.complete >= 0) {
      if (complete_ >= 0 && range.complete != complete_) {
        return Refuse(Log("package changed during the download: %lld bytes, then %lld, url: %s",
                          static_cast<long long>(complete_), static_cast<long long>(range.complete),
                          job_.url.c_str()));
      }
      complete_ = range.complete;
    }
    std::string answered = PickValidator(r.Header("ETag"), r.Header("Last-Modified"));
    if (validator_.empty()) {
      validator_ = answered;
      if (validator_.empty() && !warned_) {
        warned_ = true;
        Log("no validator in the answer: the ranges are not pinned, url: %s", job_.url.c_str());
      }
    } else if (!answered.empty() && answered != validator_ && r.Header("ETag") != validator_ &&
               r.Header("Last-Modified") != validator_) {
      // A server that ignored "If-Range" for a file that changed.
      return Refuse(Log("package changed during the download: %s, then %s, url: %s", validator_.c_str(),
                        answered.c_str(), job_.url.c_str()));
    }
    answer_ = Answer::kRange;
    return true;
  }

  bool OnData(const char* data, size_t size) {
    if (job_.isrun.load() != 1) return false;
    if (answer_ == Answer::kWhole) return WriteWhole(data, size);
    if (answer_ != Answer::kRange) return false;
    if (size > end_ - next_) {
      return Refuse(Log("range answer longer than bytes=%" PRIu64 "-%" PRIu64 ", url: %s", next_, end_ - 1,
                        job_.url.c_str()));
    }
    std::string error;
    if (!job_.sink(index_, next_, data, size, &error)) {
      job_.sinkRefused = true;
      return Refuse(error);
    }
    next_ += size;
    job_.received.fetch_add(size);
    return true;
  }

  // The server sent the whole file (no range support, or the file changed
  // since the validator): it becomes the download, written from byte 0.
  bool StartWhole(const TransportResponse& r) {
    if (job_.wholeBodyPath.empty()) {
      answer_ = Answer::kOther;
      return false;
    }
    Log("range request answered with the whole body: %s", job_.url.c_str());
    uint64_t length = 0;
    wholeAnnounced_ = ParseContentLength(r.Header("Content-Length"), length) ? static_cast<int64_t>(length) : -1;
    std::wstring dir = base::DirectoryPart(job_.wholeBodyPath);
    if (!dir.empty()) base::CreateDirectoryTree(dir);
    wholeFile_.Reset(CreateFileW(job_.wholeBodyPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!wholeFile_) {
      DWORD code = GetLastError();
      return Refuse(Log("Create local file failed: %s, error code: %d", base::Utf8(job_.wholeBodyPath).c_str(),
                        static_cast<int>(code)));
    }
    job_.wholeLength = 0;
    job_.received.exchange(0);
    job_.planned.exchange(wholeAnnounced_ >= 0 ? static_cast<uint64_t>(wholeAnnounced_) : 0);
    job_.pinnedValidator = PickValidator(r.Header("ETag"), r.Header("Last-Modified"));
    answer_ = Answer::kWhole;
    return true;
  }

  bool WriteWhole(const char* data, size_t size) {
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(wholeFile_.Get(), data, chunk, &written, nullptr) || written == 0) {
        DWORD code = GetLastError();
        return Refuse(Log("Write local file failed: %s, error code: %d", base::Utf8(job_.wholeBodyPath).c_str(),
                          static_cast<int>(code)));
      }
      data += written;
      size -= written;
      job_.wholeLength += written;
      job_.received.fetch_add(written);
    }
    return true;
  }

  void Whole() {
    wholeFile_.Reset();  // complete on disk before the job reports its end
    job_.outcome = RangeDownloadOutcome::kWholeBody;
  }

  enum class Answer { kNone, kRange, kWhole, kOther, kRefused };

  RangeDownload& job_;
  HttpUrl at_;  // where the requests go (after redirects)
  std::unique_ptr<ITransport> transport_;
  HttpUrl transportFor_;
  std::string validator_;
  bool warned_ = false;
  size_t index_ = 0;
  uint64_t next_ = 0;  // the next byte the current range wants
  uint64_t end_ = 0;   // the byte after it
  int64_t complete_ = -1;  // the file's length as the 206 answers give it
  int status_ = 0;
  Answer answer_ = Answer::kNone;
  std::string refusal_;
  std::string tlsText_;
  int64_t wholeAnnounced_ = -1;
  base::UniqueFile wholeFile_;
};

void RunRangeDownload(RangeDownload& job) {
  {
    Fetch fetch(job);
    fetch.Run();
  }  // the transport and the file are closed before the end is reported
  Log("ranged request complete: %s", job.url.c_str());
  job.finished.exchange(1);
}

}  // namespace

void RangeDownloadRunner::Start(const std::shared_ptr<RangeDownload>& job) {
  Stop();
  job_ = job;
  thread_ = base::StartBackgroundJob(job, &RunRangeDownload);
  if (!thread_) {
    job->error = Log("start request thread failed: %s, url: %s", base::ErrorText(GetLastError()).c_str(),
                     job->url.c_str());
    job->outcome = RangeDownloadOutcome::kFailed;
    job->finished.exchange(1);
  }
}

void RangeDownloadRunner::Stop() {
  if (job_) job_->isrun.exchange(0);
  if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
  thread_.Reset();
  job_.reset();
}

void SetRangeRetryPauseForTesting(unsigned ms) { g_retryPauseMs.store(ms); }
