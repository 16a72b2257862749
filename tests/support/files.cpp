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

namespace {

void SnapshotInto(const std::wstring& dir, const std::wstring& relative, std::map<std::wstring, std::string>* out) {
  for (const std::wstring& name : FileNames(dir + L"\\" + relative + L"*")) {
    if (name == L"." || name == L"..") continue;
    std::wstring path = relative + name;
    DWORD attributes = GetFileAttributesW((dir + L"\\" + path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      (*out)[path + L"\\"] = "";
      SnapshotInto(dir, path + L"\\", out);
    } else {
      (*out)[path] = std::to_string(attributes) + ":" + ReadFileBytes(dir + L"\\" + path);
    }
  }
}

}  // namespace

std::map<std::wstring, std::string> TreeSnapshot(const std::wstring& dir) {
  std::map<std::wstring, std::string> snapshot;
  SnapshotInto(dir, L"", &snapshot);
  return snapshot;
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
