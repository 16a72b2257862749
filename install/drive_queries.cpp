#include "install/drive_queries.h"

#include <windows.h>

#include "base/fs.h"
#include "base/known_folders.h"

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
    return base::CreateDirectoryTree(path, &created);
  }
};

IDriveQueries* testQueries = nullptr;

}  // namespace

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
