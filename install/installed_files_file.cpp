// The disk side of the ledger "pkg.files" (installed_files.h).
#include <windows.h>

#include <algorithm>

#include "base/fs.h"
#include "base/handles.h"
#include "base/error_text.h"
#include "install/installed_files.h"

bool ReadInstalledFilesFile(const std::wstring& path, InstalledFiles* ledger, std::string* error) {
  error->clear();
  if (!base::PathExists(path)) return false;
  std::string text;
  if (!base::ReadWholeFile(path, text)) {
    *error = "pkg.files cannot be read";
    return false;
  }
  return ParseInstalledFiles(text, ledger, error);
}

bool WriteInstalledFilesFile(const std::wstring& path, const InstalledFiles& ledger, std::string* error) {
  const std::wstring temporary = path + L".tmp";
  const std::string text = FormatInstalledFiles(ledger);
  {
    base::UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      *error = "pkg.files.tmp cannot be created: " + base::ErrorText(GetLastError());
      return false;
    }
    size_t done = 0;
    while (done < text.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 20));
      DWORD written = 0;
      if (!WriteFile(file.Get(), text.data() + done, chunk, &written, nullptr) || written == 0) {
        *error = "pkg.files.tmp cannot be written: " + base::ErrorText(GetLastError());
        file.Reset();
        DeleteFileW(temporary.c_str());
        return false;
      }
      done += written;
    }
    // On disk before the move, so that the name never points at a ledger
    // whose bytes a power cut could lose.
    if (!FlushFileBuffers(file.Get())) {
      *error = "pkg.files.tmp cannot be flushed: " + base::ErrorText(GetLastError());
      file.Reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  bool moved = MoveFileExW(temporary.c_str(), path.c_str(), flags) != 0;
  if (!moved && GetLastError() == ERROR_ACCESS_DENIED) {
    // A read-only ledger (copied from a CD, or set so by hand) is replaced too.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
      moved = MoveFileExW(temporary.c_str(), path.c_str(), flags) != 0;
  }
  if (!moved) {
    *error = "pkg.files cannot be replaced: " + base::ErrorText(GetLastError());
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}
