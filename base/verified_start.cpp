#include "base/verified_start.h"

#include <windows.h>

#include <memory>

#include "base/error_text.h"
#include "base/handles.h"
#include "base/sha256.h"
#include "base/start_process.h"
#include "base/text.h"

namespace {

constexpr DWORD kBlock = 64 * 1024;

// Readers may share it (the system loading the program is one); writers,
// renames and deletions wait until it is closed.
base::UniqueFile OpenDenyingWriters(const std::wstring& path) {
  return base::UniqueFile(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAt(HANDLE file, uint64_t offset, char* buffer, DWORD size, DWORD* got) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  *got = 0;
  if (ReadFile(file, buffer, size, got, &at)) return true;
  return GetLastError() == ERROR_HANDLE_EOF;
}

// True when both open files hold the same bytes.
bool SameBytes(HANDLE a, HANDLE b, std::string* error) {
  LARGE_INTEGER sizeA{}, sizeB{};
  if (!GetFileSizeEx(a, &sizeA) || !GetFileSizeEx(b, &sizeB)) {
    *error = "the size cannot be read: " + base::ErrorText(GetLastError());
    return false;
  }
  if (sizeA.QuadPart != sizeB.QuadPart) {
    *error = "it differs from the running program";
    return false;
  }
  std::unique_ptr<char[]> blockA(new char[kBlock]), blockB(new char[kBlock]);
  uint64_t offset = 0;
  uint64_t size = static_cast<uint64_t>(sizeA.QuadPart);
  while (offset < size) {
    DWORD gotA = 0, gotB = 0;
    if (!ReadAt(a, offset, blockA.get(), kBlock, &gotA) || !ReadAt(b, offset, blockB.get(), kBlock, &gotB)) {
      *error = "it cannot be read: " + base::ErrorText(GetLastError());
      return false;
    }
    if (gotA != gotB || gotA == 0 || memcmp(blockA.get(), blockB.get(), gotA) != 0) {
      *error = "it differs from the running program";
      return false;
    }
    offset += gotA;
  }
  return true;
}

bool Start(const std::wstring& exePath, const std::wstring& params, bool elevate, int showMode, std::string* error) {
  if (StartProcess(exePath, params, elevate, showMode)) return true;
  *error = base::Utf8(exePath) + " did not start";  // StartProcess logged the system's error
  return false;
}

}  // namespace

bool StartIfSameAs(const std::wstring& exePath, const std::wstring& original, const std::wstring& params,
                   int showMode, std::string* error) {
  base::UniqueFile held = OpenDenyingWriters(exePath);
  if (!held) {
    *error = base::Utf8(exePath) + " cannot be held: " + base::ErrorText(GetLastError());
    return false;
  }
  base::UniqueFile source = OpenDenyingWriters(original);
  if (!source) {
    *error = base::Utf8(original) + " cannot be read: " + base::ErrorText(GetLastError());
    return false;
  }
  std::string why;
  if (!SameBytes(held.Get(), source.Get(), &why)) {
    *error = base::Utf8(exePath) + ": " + why;
    return false;
  }
  source.Reset();
  return Start(exePath, params, false, showMode, error);
}

bool CopyAndStart(const std::wstring& original, const std::wstring& copyPath, const std::wstring& params,
                  int showMode, std::string* error) {
  if (!CopyFileW(original.c_str(), copyPath.c_str(), FALSE)) {
    *error = "copy to " + base::Utf8(copyPath) + " failed: " + base::ErrorText(GetLastError());
    return false;
  }
  return StartIfSameAs(copyPath, original, params, showMode, error);
}

bool StartIfSha256(const std::wstring& exePath, const std::string& expectedSha256, const std::wstring& params,
                   bool elevate, int showMode, std::string* error, bool* refused) {
  *refused = false;
  base::UniqueFile held = OpenDenyingWriters(exePath);
  if (!held) {
    DWORD code = GetLastError();
    *refused = code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND;
    *error = base::Utf8(exePath) + " cannot be held: " + base::ErrorText(code);
    return false;
  }
  if (!expectedSha256.empty()) {
    *refused = true;
    Sha256Digest digest;
    std::string hashError;
    if (!Sha256OfOpenFile(held.Get(), base::Utf8(exePath), &digest, &hashError)) {
      *error = "checksum not computed: " + hashError;
      return false;
    }
    std::string got = Sha256Text(digest);
    if (got != expectedSha256) {
      *error = "checksum mismatch, expected " + expectedSha256 + ", got " + got;
      return false;
    }
    *refused = false;
  }
  return Start(exePath, params, elevate, showMode, error);
}
