#include "unpack/file_replace.h"

#include <windows.h>

#include "base/error_text.h"

const wchar_t kPartSuffix[] = L".unpacking";

namespace {

// Windows refuses to replace a read-only file; saying so here keeps the rule
// the same wherever the file system would let the write through.
bool IsReadOnlyFile(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The attributes with read-only cleared; "normal" when nothing else is left.
DWORD WithoutReadOnly(DWORD attributes) {
  DWORD rest = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  return rest == 0 ? FILE_ATTRIBUTE_NORMAL : rest;
}

}  // namespace

void RemovePartFile(const std::wstring& partApi) {
  SetFileAttributesW(partApi.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(partApi.c_str());
}

bool ReplaceWithPart(const std::wstring& partApi, const std::wstring& targetApi, std::string* error) {
  // A read-only file from an earlier package gets the update all the same:
  // writable for the replace, which brings the new file's own attributes.
  DWORD existing = GetFileAttributesW(targetApi.c_str());
  bool readOnly = IsReadOnlyFile(existing);
  if (readOnly && !SetFileAttributesW(targetApi.c_str(), WithoutReadOnly(existing))) {
    *error = "a read-only file is in the way and cannot be made writable: " + base::ErrorText(GetLastError());
    RemovePartFile(partApi);
    return false;
  }
  if (!MoveFileExW(partApi.c_str(), targetApi.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    *error = "the file cannot be replaced: " + base::ErrorText(GetLastError());
    if (readOnly) SetFileAttributesW(targetApi.c_str(), existing);
    RemovePartFile(partApi);
    return false;
  }
  return true;
}
