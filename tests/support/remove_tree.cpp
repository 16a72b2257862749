#include "support/remove_tree.h"

#include <windows.h>

#include "base/handles.h"
#include "base/paths.h"

namespace support {
namespace {

// The absolute "\\?\" form, which lifts the MAX_PATH limit; it is taken
// literally, so it is made from the full path without a trailing separator.
std::wstring LongForm(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  full.resize(GetFullPathNameW(path.c_str(), size, &full[0], nullptr));
  full = base::WithoutTrailingSeparators(full);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return full;
}

bool RemoveLong(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != 0;
  WIN32_FIND_DATAW fd;
  base::UniqueFind find(FindFirstFileW((path + L"\\*").c_str(), &fd));
  if (find) {
    do {
      std::wstring name = fd.cFileName;
      if (name != L"." && name != L"..") RemoveLong(path + L"\\" + name);
    } while (FindNextFileW(find.Get(), &fd));
  }
  return RemoveDirectoryW(path.c_str()) != 0;
}

}  // namespace

bool RemoveTree(const std::wstring& path) { return path.empty() || RemoveLong(LongForm(path)); }

}  // namespace support
