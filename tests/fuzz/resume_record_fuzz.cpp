// The resume record is read back from disk, and Content-Range, ETag and
// Content-Length come from the server: none of them may crash the reading,
// a record read back must be exactly what writing it gives, and a range
// that is accepted must be consistent.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/resume_record.h"
#include "net/resume_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  ResumeRecord record;
  if (ParseResumeRecord(text, &record)) {
    FUZZ_CHECK(FormatResumeRecord(record) == text, "record does not round-trip: " + fuzz::Shown(text));
    FUZZ_CHECK(record.length >= -1, fuzz::Shown(text));
  }

  ContentRange range;
  if (ParseContentRange(text, &range)) {
    if (range.unsatisfied) {
      FUZZ_CHECK(range.complete >= 0, fuzz::Shown(text));
    } else {
      FUZZ_CHECK(range.first >= 0 && range.first <= range.last, fuzz::Shown(text));
      FUZZ_CHECK(range.complete == -1 || range.last < range.complete, fuzz::Shown(text));
    }
  }

  // The text split into the four headers an answer brings.
  ResumeHeaders headers;
  std::string* parts[] = {&headers.etag, &headers.lastModified, &headers.contentRange, &headers.contentLength};
  size_t part = 0;
  for (char c : text) {
    if (c == '\n' && part < 3)
      ++part;
    else
      *parts[part] += c;
  }
  for (int status : {200, 206, 416}) {
    for (int64_t offset : {int64_t(0), int64_t(1), range.first, range.complete}) {
      ResumePlan plan = PlanAnswer(status, offset, "\"v\"", headers);
      FUZZ_CHECK(plan.length >= -1, fuzz::Shown(text));
      if (plan.answer == RangeAnswer::kAppend) FUZZ_CHECK(status == 206 && offset > 0, fuzz::Shown(text));
      if (plan.answer == RangeAnswer::kAlreadyComplete) FUZZ_CHECK(status == 416 && !plan.remember, fuzz::Shown(text));
    }
  }
  return 0;
}
