#include "base/fs.h"

#include <windows.h>
#include <shlobj.h>

#include "base/handles.h"
#include "base/paths.h"

namespace base {

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(WithoutTrailingSeparators(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(WithoutTrailingSeparators(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsReparsePoint(const std::wstring& path) {
  std::wstring p = path;
  while (p.size() > 3 && (p.back() == L'\\' || p.back() == L'/')) p.pop_back();
  DWORD a = GetFileAttributesW(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

unsigned long CreateDirectoryTree(const std::wstring& path, bool* created) {
  if (created) *created = false;
  std::wstring p = path;
  for (auto& c : p)
    if (c == L'/') c = L'\\';
  p = WithoutTrailingSeparators(p);
  int rc = SHCreateDirectoryExW(nullptr, p.c_str(), nullptr);
  if (rc == ERROR_SUCCESS) {
    if (created) *created = true;
    return 0;
  }
  if (rc == ERROR_ALREADY_EXISTS && DirectoryExists(p)) return 0;
  if (rc == ERROR_ALREADY_EXISTS) return ERROR_FILE_EXISTS;  // a file stands in the way
  return static_cast<unsigned long>(rc);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buffer[16384];
  DWORD got = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  return true;
}

}  // namespace base
