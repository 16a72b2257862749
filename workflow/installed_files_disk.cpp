#include "workflow/installed_files_disk.h"

#include <windows.h>

#include <unordered_set>

#include "base/error_text.h"
#include "base/log.h"
#include "base/text.h"
#include "unpack/unpack_path.h"

namespace {

bool FullPathOf(const std::wstring& installDir, const std::string& name, std::wstring* fullPath) {
  return !name.empty() && ResolveEntryPath(installDir, base::ToWide(name), fullPath);
}

// Names compare as the file system does: without regard to case.
std::wstring FileKey(std::wstring path) {
  if (!path.empty()) CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
  return path;
}

}  // namespace

ListedFileOnDisk LookAtInstalledFile(const std::wstring& installDir, const std::string& name) {
  ListedFileOnDisk out;
  std::wstring full;
  if (!FullPathOf(installDir, name, &full)) return out;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ForFileApi(full).c_str(), GetFileExInfoStandard, &data)) return out;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
    out.kind = ListedFileOnDisk::kNotAFile;
    return out;
  }
  out.kind = ListedFileOnDisk::kFile;
  out.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return out;
}

std::vector<std::string> DeleteFilesGone(const std::wstring& installDir, const std::vector<std::string>& gone,
                                         const std::vector<std::string>& keep) {
  std::unordered_set<std::wstring> kept;
  for (const std::string& name : keep) {
    std::wstring full;
    if (FullPathOf(installDir, name, &full)) kept.insert(FileKey(full));
  }
  std::vector<std::string> left;
  for (const std::string& name : gone) {
    std::wstring full;
    if (!FullPathOf(installDir, name, &full)) {
      Log("installed files: %s is not below the install folder, not deleted", name.c_str());
      continue;
    }
    if (kept.count(FileKey(full))) continue;
    std::wstring api = ForFileApi(full);
    DWORD attributes = GetFileAttributesW(api.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;  // gone already
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
      Log("installed files: %s is no longer a plain file, not deleted", name.c_str());
      continue;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(api.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileW(api.c_str())) {
      Log("installed files: %s deleted, the new package no longer has it", name.c_str());
      continue;
    }
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) continue;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(api.c_str(), attributes);
    Log("installed files: %s cannot be deleted: %s", name.c_str(), base::ErrorText(code).c_str());
    left.push_back(name);
  }
  return left;
}
