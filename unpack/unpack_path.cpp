#include "unpack/unpack_path.h"

#include <windows.h>

#include <vector>

#include "base/paths.h"

namespace {

// CreateDirectoryW refuses normal paths from MAX_PATH - 12 characters on.
constexpr size_t kLongPath = MAX_PATH - 12;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The system's own resolution of "." and ".." and of trailing dots and
// blanks, on the plain path: the wide call takes paths beyond MAX_PATH, and
// an extended-length prefix would switch that resolution off.
std::wstring FullPathName(const std::wstring& path) {
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::wstring();
  std::vector<wchar_t> buffer(needed + 1);
  DWORD got = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (got == 0 || got >= buffer.size()) return std::wstring();
  return std::wstring(buffer.data(), got);
}

}  // namespace

bool ResolveEntryPath(const std::wstring& targetDir, const std::wstring& name, std::wstring* fullPath) {
  std::wstring base = FullPathName(targetDir);
  std::wstring full = FullPathName(targetDir + name);
  if (base.empty() || full.empty()) return false;
  if (!IsSeparator(base.back())) base += L'\\';
  if (full.size() <= base.size() || !base::StartsWithPathText(full, base)) return false;
  *fullPath = full;
  return true;
}

std::wstring ForFileApi(const std::wstring& path) {
  if (path.size() < kLongPath || path.compare(0, 4, L"\\\\?\\") == 0) return path;
  std::wstring p = path;
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  if (p.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + p.substr(2);
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') return L"\\\\?\\" + p;
  return path;  // relative paths cannot take the prefix
}
