#include "net/file_resume.h"

#include <windows.h>

#include "base/fs.h"
#include "base/log.h"
#include "base/text.h"
#include "net/resume_rules.h"

namespace {

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

}  // namespace

int64_t FileResume::Plan() {
  std::string text;
  ResumeRecord found;
  bool have = base::ReadWholeFile(ResumeRecordPath(target_), text) && ParseResumeRecord(text, &found);
  int64_t onDisk = FileSize(target_);
  int64_t offset = ResumeOffset(have ? &found : nullptr, url_, onDisk);
  if (offset > 0) {
    record_ = found;
    Log("resuming %s at %lld of %lld bytes", base::Utf8(target_).c_str(), static_cast<long long>(offset),
        static_cast<long long>(found.length));
    return offset;
  }
  if (have) {
    Log("the partial %s belongs to another download, starting over", base::Utf8(target_).c_str());
    Forget();
  }
  record_ = ResumeRecord();
  return 0;
}

void FileResume::Remember(const std::string& validator, int64_t length) {
  record_.url = url_;
  record_.validator = validator;
  record_.length = length;
  std::string text = validator.empty() ? std::string() : FormatResumeRecord(record_);
  if (text.empty() || !base::WriteWholeFile(ResumeRecordPath(target_), text)) Forget();
}

void FileResume::Forget() {
  std::wstring path = ResumeRecordPath(target_);
  if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
      GetLastError() != ERROR_PATH_NOT_FOUND)
    Log("the resume record %s cannot be removed", base::Utf8(path).c_str());
}

void ForgetDownloadProgress(const std::wstring& target) { FileResume(target, std::string()).Forget(); }
