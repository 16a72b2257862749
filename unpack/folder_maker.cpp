#include "unpack/folder_maker.h"

#include <windows.h>

#include "unpack/unpack_path.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring Trimmed(const std::wstring& path) {
  size_t end = path.size();
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// Folder names compare without regard to case, and "/" equals "\".
std::wstring Key(const std::wstring& path) {
  std::wstring key = Trimmed(path);
  for (wchar_t& c : key)
    if (c == L'/') c = L'\\';
  if (!key.empty()) CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
  return key;
}

}  // namespace

bool FolderMaker::MakeOne(const std::wstring& prefix) {
  // A bare drive ("C:") or the empty start of "\..." is never created.
  if (prefix.size() <= 2 || prefix.back() == L':') return true;
  std::wstring key = Key(prefix);
  if (known_.count(key)) return true;
  std::wstring api = ForFileApi(prefix);
  DWORD attributes = GetFileAttributesW(api.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (!CreateDirectoryW(api.c_str(), nullptr)) return false;
    known_.insert(key);
    created_.insert(key);
    return true;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  known_.insert(key);
  return true;
}

bool FolderMaker::Make(const std::wstring& path) {
  std::wstring folder = Trimmed(path);
  if (folder.empty()) return false;
  if (known_.count(Key(folder))) return true;
  // Start after the deepest folder already known; above it everything exists.
  size_t from = 1;
  for (size_t i = folder.size() - 1; i > 0; --i) {
    if (IsSeparator(folder[i]) && !IsSeparator(folder[i - 1]) && known_.count(Key(folder.substr(0, i)))) {
      from = i + 1;
      break;
    }
  }
  for (size_t i = from; i < folder.size(); ++i)
    if (IsSeparator(folder[i]) && !IsSeparator(folder[i - 1])) MakeOne(folder.substr(0, i));
  return MakeOne(folder);
}

bool FolderMaker::Created(const std::wstring& path) const { return created_.count(Key(path)) > 0; }
