#include "net/resume_rules.h"

namespace {

void SkipSpaces(const std::string& text, size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
}

// Decimal digits at `at` (at most 18, so no overflow); false when there are none.
bool ReadCount(const std::string& text, size_t& at, int64_t& out) {
  size_t start = at;
  int64_t value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    if (at - start >= 18) return false;
    value = value * 10 + (text[at] - '0');
    ++at;
  }
  if (at == start) return false;
  out = value;
  return true;
}

int64_t ReadDecimal(const std::string& text) {
  size_t at = 0;
  int64_t value = -1;
  if (!ReadCount(text, at, value) || at != text.size()) return -1;
  return value;
}

}  // namespace

std::string PickValidator(const std::string& etag, const std::string& lastModified) {
  // A strong ETag is a quoted string; "W/" marks a weak one.
  if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"') return etag;
  return lastModified;
}

bool ParseContentRange(const std::string& value, ContentRange* range) {
  ContentRange r;
  size_t at = 0;
  SkipSpaces(value, at);
  if (value.compare(at, 5, "bytes") != 0) return false;
  at += 5;
  if (at >= value.size() || (value[at] != ' ' && value[at] != '\t')) return false;
  SkipSpaces(value, at);
  if (at < value.size() && value[at] == '*') {
    r.unsatisfied = true;
    ++at;
  } else {
    if (!ReadCount(value, at, r.first)) return false;
    if (at >= value.size() || value[at] != '-') return false;
    ++at;
    if (!ReadCount(value, at, r.last) || r.last < r.first) return false;
  }
  if (at >= value.size() || value[at] != '/') return false;
  ++at;
  if (at < value.size() && value[at] == '*') {
    if (r.unsatisfied) return false;  // "*/*" says nothing
    ++at;
  } else {
    if (!ReadCount(value, at, r.complete)) return false;
    if (!r.unsatisfied && r.last >= r.complete) return false;
  }
  SkipSpaces(value, at);
  if (at != value.size()) return false;
  *range = r;
  return true;
}

int64_t ResumeOffset(const ResumeRecord* record, const std::string& url, int64_t bytesOnDisk) {
  if (!record || bytesOnDisk <= 0) return 0;
  if (record->url != url || record->validator.empty()) return 0;
  if (record->length >= 0 && bytesOnDisk > record->length) return 0;
  return bytesOnDisk;
}

RangeAnswer JudgeRangeAnswer(int status, int64_t offset, const std::string& contentRange) {
  ContentRange range;
  bool parsed = ParseContentRange(contentRange, &range);
  switch (status) {
    case 200:
      return RangeAnswer::kWholeBody;
    case 206:
      return parsed && !range.unsatisfied && range.first == offset ? RangeAnswer::kAppend
                                                                   : RangeAnswer::kStartOver;
    case 416:
      return parsed && range.unsatisfied && range.complete == offset ? RangeAnswer::kAlreadyComplete
                                                                     : RangeAnswer::kStartOver;
    default:
      return RangeAnswer::kOther;
  }
}

ResumePlan PlanAnswer(int status, int64_t offset, const std::string& sentValidator, const ResumeHeaders& headers) {
  ResumePlan plan;
  if (offset > 0) plan.answer = JudgeRangeAnswer(status, offset, headers.contentRange);
  if (plan.answer == RangeAnswer::kAlreadyComplete || plan.answer == RangeAnswer::kStartOver) return plan;
  if (status != 200 && status != 206) return plan;
  plan.remember = true;
  plan.validator = PickValidator(headers.etag, headers.lastModified);
  // A part answer need not repeat the validator it was checked against.
  if (plan.validator.empty() && status == 206) plan.validator = sentValidator;
  if (status == 200) {
    plan.length = ReadDecimal(headers.contentLength);
  } else {
    ContentRange range;
    if (ParseContentRange(headers.contentRange, &range)) plan.length = range.complete;
  }
  return plan;
}
