#include "net/resume_record.h"

#include <cstdlib>

namespace {

constexpr char kHeader[] = "vorn-resume 1";
constexpr size_t kMaxRecordSize = 16 * 1024;

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

// Splits off the next "\n"-terminated line; false when there is none.
bool NextLine(const std::string& text, size_t& at, std::string& line) {
  size_t end = text.find('\n', at);
  if (end == std::string::npos) return false;
  line = text.substr(at, end - at);
  at = end + 1;
  return true;
}

bool TakeValue(const std::string& line, const char* key, std::string& value) {
  std::string prefix = std::string(key) + "=";
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  value = line.substr(prefix.size());
  return true;
}

// A decimal count as written: no sign, no leading zero; "-1" alone means unknown.
bool ReadLength(const std::string& text, int64_t& out) {
  if (text == "-1") {
    out = -1;
    return true;
  }
  if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0')) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

}  // namespace

std::wstring ResumeRecordPath(const std::wstring& target) { return target + L".resume"; }

std::string FormatResumeRecord(const ResumeRecord& record) {
  if (record.url.empty() || HasLineBreak(record.url) || HasLineBreak(record.validator)) return std::string();
  return std::string(kHeader) + "\nurl=" + record.url + "\nvalidator=" + record.validator +
         "\nlength=" + std::to_string(record.length < 0 ? -1 : record.length) + "\n";
}

bool ParseResumeRecord(const std::string& text, ResumeRecord* record) {
  if (text.size() > kMaxRecordSize) return false;
  size_t at = 0;
  std::string line, url, validator, length;
  if (!NextLine(text, at, line) || line != kHeader) return false;
  if (!NextLine(text, at, line) || !TakeValue(line, "url", url)) return false;
  if (!NextLine(text, at, line) || !TakeValue(line, "validator", validator)) return false;
  if (!NextLine(text, at, line) || !TakeValue(line, "length", length)) return false;
  if (at != text.size()) return false;
  int64_t value = 0;
  if (url.empty() || HasLineBreak(url) || HasLineBreak(validator) || !ReadLength(length, value)) return false;
  record->url = url;
  record->validator = validator;
  record->length = value;
  return true;
}
