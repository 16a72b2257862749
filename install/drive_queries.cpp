#include "install/drive_queries.h"

#include <windows.h>

#include "base/fs.h"
#include "base/known_folders.h"
#include "base/paths.h"
#include "install/folder_ownership.h"
#include "install/install_id.h"
#include "install/install_id_file.h"

namespace {

class Win32DriveQueries : public IDriveQueries {
 public:
  bool AppDataFolder(std::wstring& folder) override { return base::AppDataFolder(folder); }
  unsigned DriveType(const std::wstring& root) override { return GetDriveTypeW(root.c_str()); }
  bool FreeBytes(const std::wstring& path, uint64_t& bytes) override {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
  }
  bool FolderExists(const std::wstring& path) override { return base::DirectoryExists(path); }
  bool IsReparsePoint(const std::wstring& path) override { return base::IsReparsePoint(path); }
  unsigned long CreateFolderTree(const std::wstring& path, bool& created) override {
    created = false;
    std::wstring folder = base::WithoutTrailingSeparators(path);
    size_t cut = folder.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut > 0) {
      unsigned long rc = base::CreateDirectoryTree(folder.substr(0, cut + 1));
      if (rc != 0) return rc;
    }
    unsigned long rc = CreatePrivateFolder(folder);
    if (rc == 0) {
      created = true;
      return 0;
    }
    // Something of that name is there already: a folder is no error, a file is.
    if (rc == ERROR_ALREADY_EXISTS) return base::DirectoryExists(folder) ? 0 : ERROR_FILE_EXISTS;
    return rc;
  }
};

IDriveQueries* testQueries = nullptr;

}  // namespace

std::string IDriveQueries::OwnershipRefusal(const std::wstring& dir) { return FolderOwnershipRefusal(dir); }

bool IDriveQueries::HoldsInstallationFiles(const std::wstring& dir) {
  for (const wchar_t* name : {L"pkg.ver", L"weiduan.ver", L"Uninstall.ini", kInstallIdFileName})
    if (base::PathExists(dir + name) && !base::DirectoryExists(dir + name)) return true;
  return false;
}

std::string IDriveQueries::ReadInstallId(const std::wstring& dir) { return ReadInstallIdFile(dir); }

bool IDriveQueries::WriteInstallId(const std::wstring& dir, const std::string& id) {
  return WriteInstallIdFile(dir, id);
}

std::string IDriveQueries::NewInstallId() { return ::NewInstallId(); }

bool IDriveQueries::ReadRecord(const std::wstring& installName, InstallRecord& record) {
  return ReadInstallRecord(installName, &record);
}

bool IDriveQueries::WriteRecord(const std::wstring& installName, const InstallRecord& record) {
  return WriteInstallRecord(installName, record);
}

IDriveQueries& CurrentDriveQueries() {
  static Win32DriveQueries real;
  return testQueries ? *testQueries : real;
}

void SetDriveQueriesForTest(IDriveQueries* queries) { testQueries = queries; }

std::wstring RootPathOf(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') {
    std::wstring root = path.substr(0, 2);
    return root + L"\\";
  }
  bool unc = path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') &&
             (path[1] == L'\\' || path[1] == L'/');
  if (!unc) return std::wstring();
  // "\\server\share\": the separator after the share name ends the root.
  size_t server = path.find_first_of(L"\\/", 2);
  if (server == std::wstring::npos) return path + L"\\";
  size_t share = path.find_first_of(L"\\/", server + 1);
  if (share == std::wstring::npos) return path + L"\\";
  return path.substr(0, share + 1);
}
