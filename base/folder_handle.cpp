#include "base/folder_handle.h"

#include <windows.h>
#include <winternl.h>

namespace base {

namespace {

constexpr DWORD kReadAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kRemoveAccess = kReadAccess | DELETE | FILE_WRITE_ATTRIBUTES;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

unsigned long AttributesOf(HANDLE handle) {
  FILE_BASIC_INFO info{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &info, sizeof info)) return INVALID_FILE_ATTRIBUTES;
  return info.FileAttributes;
}

unsigned long OpenFolderNoFollow(const std::wstring& path, UniqueFile* folder, FolderUse use) {
  DWORD access = use == FolderUse::kRemove ? kRemoveAccess : kReadAccess;
  UniqueFile handle(CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return GetLastError();
  DWORD attributes = AttributesOf(handle.Get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return ERROR_ACCESS_DENIED;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
  *folder = std::move(handle);
  return 0;
}

unsigned long OpenInFolder(HANDLE folder, const std::wstring& name, unsigned long access, EntryKind kind,
                           UniqueFile* entry) {
  if (name.empty() || name.size() > 32767 || name.find_first_of(L"\\/") != std::wstring::npos)
    return ERROR_INVALID_NAME;
  // The system's open relative to a folder handle: no path is looked up again.
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.c_str());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  ULONG options = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;
  if (kind == EntryKind::kFileOnly) options |= FILE_NON_DIRECTORY_FILE;
  HANDLE handle = nullptr;
  NTSTATUS status = NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll, FILE_OPEN,
                                 options, nullptr, 0);
  if (!NT_SUCCESS(status)) return RtlNtStatusToDosError(status);
  entry->Reset(handle);
  return 0;
}

unsigned long ListFolder(HANDLE folder, std::vector<std::wstring>* names) {
  names->clear();
  // Aligned for the records the system writes into it.
  alignas(8) static thread_local unsigned char buffer[64 * 1024];
  FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!GetFileInformationByHandleEx(folder, query, buffer, sizeof buffer)) {
      DWORD code = GetLastError();
      return code == ERROR_NO_MORE_FILES ? 0 : code;
    }
    query = FileIdBothDirectoryInfo;
    size_t offset = 0;
    for (;;) {
      const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + offset);
      std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names->push_back(std::move(name));
      if (record->NextEntryOffset == 0) break;
      offset += record->NextEntryOffset;
      if (offset >= sizeof buffer) return ERROR_INVALID_DATA;
    }
  }
}

}  // namespace base
