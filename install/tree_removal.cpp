#include "install/tree_removal.h"

#include <vector>

#include "base/folder_handle.h"
#include "base/handles.h"
#include "install/uninstall_guard.h"

namespace {

constexpr DWORD kEntryAccess = DELETE | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
constexpr DWORD kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Marks an open entry for deletion; a read-only one loses that attribute first.
unsigned long DeleteOpened(HANDLE entry, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic{};  // zero times stay as they are
    basic.FileAttributes = attributes & kSettableAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic)) return GetLastError();
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition)) return GetLastError();
  return 0;
}

unsigned long RemoveContents(HANDLE folder, const std::wstring& last);

unsigned long RemoveEntry(HANDLE folder, const std::wstring& name) {
  base::UniqueFile entry;
  unsigned long rc = base::OpenInFolder(folder, name, kEntryAccess, base::EntryKind::kAny, &entry);
  if (rc != 0) return rc;
  // What the handle is, not what a listing said a moment ago.
  DWORD attributes = base::AttributesOf(entry.Get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    rc = RemoveContents(entry.Get(), std::wstring());
    if (rc != 0) return rc;
  }
  return DeleteOpened(entry.Get(), attributes);
}

unsigned long RemoveContents(HANDLE folder, const std::wstring& last) {
  std::vector<std::wstring> names;
  unsigned long rc = base::ListFolder(folder, &names);
  if (rc != 0) return rc;
  bool haveLast = false;
  for (const std::wstring& name : names) {
    if (!last.empty() && name == last) {
      haveLast = true;
      continue;
    }
    rc = RemoveEntry(folder, name);
    if (rc != 0) return rc;
  }
  if (haveLast) return RemoveEntry(folder, last);
  return 0;
}

}  // namespace

unsigned long RemoveOpenedTree(HANDLE folder, const std::wstring& last) {
  unsigned long rc = RemoveContents(folder, last);
  if (rc != 0) return rc;
  DWORD attributes = base::AttributesOf(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  return DeleteOpened(folder, attributes);
}

unsigned long RemoveDirectoryTree(const std::wstring& dir) {
  std::wstring full = FullFolderPath(dir);
  if (full.empty()) return ERROR_INVALID_NAME;
  base::UniqueFile folder;
  unsigned long rc = base::OpenFolderNoFollow(ExtendedLengthPath(full), &folder);
  if (rc != 0) return rc;
  rc = RemoveOpenedTree(folder.Get());
  folder.Reset();  // the folder goes with its last handle
  return rc;
}
