#include "support/files.h"

#include "base/handles.h"

#include "base/fs.h"

namespace support {

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  base::ReadWholeFile(path, bytes);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  return base::WriteWholeFile(path, bytes);
}

bool WaitForFileContaining(const std::wstring& path, const std::string& text, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (ReadFileBytes(path).find(text) == std::string::npos) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

std::set<std::wstring> FileNames(const std::wstring& pattern) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW fd;
  base::UniqueFind find(FindFirstFileW(pattern.c_str(), &fd));
  if (!find) return names;
  do names.insert(fd.cFileName);
  while (FindNextFileW(find.Get(), &fd));
  return names;
}

}  // namespace support
