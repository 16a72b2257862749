#pragma once
// The small record kept beside a file that is being downloaded, so that a
// later run can ask for the rest instead of starting again. Free of windows.h.
#include <cstdint>
#include <string>

struct ResumeRecord {
  std::string url;        // the request URL the bytes on disk came from
  std::string validator;  // ETag (strong) or Last-Modified, as the server sent it
  int64_t length = -1;    // the whole body's length as announced; -1 unknown
};

// The record file of a download target: the target's name plus ".resume".
std::wstring ResumeRecordPath(const std::wstring& target);

// Text form: a header line, then url=, validator= and length= lines. Empty
// when the record cannot be written faithfully (no URL, a line break in a field).
std::string FormatResumeRecord(const ResumeRecord& record);
// False on anything but the exact form FormatResumeRecord writes (the file
// may be truncated or damaged): such a record counts as absent.
bool ParseResumeRecord(const std::string& text, ResumeRecord* record);
