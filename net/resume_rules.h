#pragma once
// The decisions of a resumed file download, apart from any HTTP library:
// where to start, which validator to send with "If-Range", and what the
// server's answer to a "Range" request means. Free of windows.h.
#include <cstdint>
#include <string>

#include "net/resume_record.h"

// The validator to record and send back in "If-Range": a strong ETag, else
// Last-Modified, else nothing (weak ETags may not be used with "If-Range").
std::string PickValidator(const std::string& etag, const std::string& lastModified);

// "Content-Range": "bytes first-last/complete" or "bytes */complete"; the
// complete length may be "*" (unknown, -1).
struct ContentRange {
  bool unsatisfied = false;  // the "*/L" form of a 416 answer
  int64_t first = -1;
  int64_t last = -1;
  int64_t complete = -1;
};
bool ParseContentRange(const std::string& value, ContentRange* range);

// The offset a file download asks from: the bytes on disk when the record
// names the same URL, has a validator and the bytes on disk do not exceed
// the announced length; otherwise 0 (start over). `record` may be null.
int64_t ResumeOffset(const ResumeRecord* record, const std::string& url, int64_t bytesOnDisk);

// What the answer to a request sent with "Range: bytes=offset-" means.
enum class RangeAnswer {
  kAppend,           // 206 from exactly `offset`: write after the bytes on disk
  kWholeBody,        // 200: the whole (possibly changed) body follows; write from 0
  kAlreadyComplete,  // 416 with "bytes */offset": the file on disk is whole
  kStartOver,        // a range we did not ask for, or a 416 for another length
  kOther,            // any other status: handled like an answer to a plain request
};
RangeAnswer JudgeRangeAnswer(int status, int64_t offset, const std::string& contentRange);

// The headers of an answer that matter to a file download.
struct ResumeHeaders {
  std::string etag;
  std::string lastModified;
  std::string contentRange;
  std::string contentLength;
};

// What an answer means to a file download that asked from `offset` (0: no
// "Range" sent), whatever HTTP library received it.
struct ResumePlan {
  RangeAnswer answer = RangeAnswer::kOther;  // for offset 0 always kOther
  bool remember = false;   // a body follows: record its validator and length first
  std::string validator;   // for the record and the next "If-Range"; "" = none
  int64_t length = -1;     // the whole body's length; -1 unknown
};
ResumePlan PlanAnswer(int status, int64_t offset, const std::string& sentValidator, const ResumeHeaders& headers);
