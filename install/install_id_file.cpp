#include "install/install_id_file.h"

#include <bcrypt.h>

#include "base/folder_handle.h"
#include "base/fs.h"
#include "base/handles.h"
#include "install/install_id.h"

namespace {

// An id file is a few dozen bytes; anything much longer is not one.
constexpr DWORD kMaxIdFileBytes = 64;

std::string ReadId(HANDLE file) {
  char buffer[kMaxIdFileBytes + 1];
  DWORD got = 0;
  if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr) || got > kMaxIdFileBytes) return std::string();
  return InstallIdFromFileText(std::string(buffer, got));
}

}  // namespace

std::string NewInstallId() {
  unsigned char bytes[16];
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    return std::string();
  return InstallIdFromBytes(bytes);
}

bool WriteInstallIdFile(const std::wstring& dir, const std::string& id) {
  return base::WriteWholeFile(dir + kInstallIdFileName, id);
}

std::string ReadInstallIdFile(const std::wstring& dir) {
  base::UniqueFile folder;
  if (base::OpenFolderNoFollow(dir, &folder, base::FolderUse::kRead) != 0) return std::string();
  return ReadInstallIdIn(folder.Get());
}

std::string ReadInstallIdIn(HANDLE folder) {
  base::UniqueFile file;
  if (base::OpenInFolder(folder, kInstallIdFileName, GENERIC_READ, base::EntryKind::kFileOnly, &file) != 0)
    return std::string();
  if (base::AttributesOf(file.Get()) & FILE_ATTRIBUTE_REPARSE_POINT) return std::string();
  return ReadId(file.Get());
}
