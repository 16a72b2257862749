#include "workflow/downloaded_file.h"

#include <windows.h>

#include "base/handles.h"
#include "base/log.h"
#include "base/sha256.h"
#include "base/text.h"

namespace {

// Replacing a file that another process holds open (a running program, or a
// file opened without delete sharing) fails with "access denied", as does a
// file we may not touch at all. Only the first is the "in use" that callers
// pass over, so it is told apart by opening the file for writing and
// deletion with every sharing allowed: that fails with a sharing violation
// only when it is held (a running program's image refuses writers).
bool HeldOpen(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  // The owner keeps the last error of a failed open for the check below.
  base::UniqueFile file(h);
  return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

bool Move(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// A program ended just before (KillProcessByPath) can hold its image a
// little longer while the system tears the process down; a file still held
// after that is in use for real.
bool MoveIntoPlace(const std::wstring& from, const std::wstring& to) {
  constexpr int kTries = 15;
  constexpr DWORD kPauseMs = 100;
  for (int attempt = 1;; ++attempt) {
    if (Move(from, to)) return true;
    DWORD code = GetLastError();
    bool held = code == ERROR_SHARING_VIOLATION || (code == ERROR_ACCESS_DENIED && HeldOpen(to));
    if (!held || attempt == kTries) {
      SetLastError(code);
      return false;
    }
    Sleep(kPauseMs);
  }
}

}  // namespace

std::wstring DownloadingPath(const std::wstring& path) { return path + L".downloading"; }

bool FileHasSha256(const std::wstring& path, const std::string& expectedSha256, const std::string& url,
                   std::string* error) {
  Sha256Digest digest;
  std::string hashError;
  if (!Sha256OfFile(path, &digest, &hashError)) {
    *error = Log("checksum not computed: %s, url: %s", hashError.c_str(), url.c_str());
    return false;
  }
  std::string got = Sha256Text(digest);
  if (got != expectedSha256) {
    *error = Log("checksum mismatch, expected %s, got %s, url: %s", expectedSha256.c_str(), got.c_str(), url.c_str());
    return false;
  }
  Log("checksum verified: sha256 %s, url: %s", got.c_str(), url.c_str());
  return true;
}

bool PlaceDownloadedFile(const std::wstring& tempPath, const std::wstring& path,
                         const std::string& expectedSha256, const std::string& url, std::string* error,
                         uint32_t* errorCode) {
  // These files are small (a shell of a few MB): hashed on the timer thread
  // in a few milliseconds.
  if (!expectedSha256.empty() && !FileHasSha256(tempPath, expectedSha256, url, error)) {
    DeleteFileW(tempPath.c_str());
    return false;
  }
  if (!MoveIntoPlace(tempPath, path)) {
    DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED && HeldOpen(path)) code = ERROR_SHARING_VIOLATION;
    *errorCode = code;
    *error = Log("Replace local file failed: %s, error code: %d", base::Utf8(path).c_str(), static_cast<int>(code));
    DeleteFileW(tempPath.c_str());
    return false;
  }
  return true;
}
