// The install folder of InstallConfig and the fixed file names inside it.
#include <cstdint>
#include <vector>

#include "base/file_name_rules.h"
#include "base/log.h"
#include "base/text.h"
#include "install/drive_queries.h"
#include "install/install_config.h"

namespace {

constexpr unsigned kDriveFixed = 3;  // DRIVE_FIXED
constexpr uint64_t kMinFreeBytes = 1ull << 30;

// Roots in order of preference; the application-data folder lets players
// without a second drive install on the system drive.
std::vector<std::wstring> CandidateRoots(IDriveQueries& drives) {
  std::vector<std::wstring> roots{L"d:\\"};
  std::wstring appData;
  if (drives.AppDataFolder(appData)) roots.push_back(appData + L"\\");
  roots.push_back(L"e:\\");
  roots.push_back(L"f:\\");
  return roots;
}

// Creates the install folder under the first fixed candidate that allows it,
// optionally only where at least 1 GiB is free. Returns the folder or empty.
std::wstring CreateUnderFixedDrive(IDriveQueries& drives, const std::vector<std::wstring>& roots,
                                   const std::wstring& installName, bool needSpace) {
  for (const std::wstring& root : roots) {
    if (drives.DriveType(RootPathOf(root)) != kDriveFixed) continue;
    if (needSpace) {
      uint64_t free = 0;
      if (!drives.FreeBytes(root, free) || free < kMinFreeBytes) continue;
    }
    std::wstring dir = root + installName + L"\\";
    bool created = false;
    unsigned long error = drives.CreateFolderTree(dir, created);
    if (created) return dir;
    Log("InitInstallDir :: makeDir errcode: %d", static_cast<int>(error));
  }
  return std::wstring();
}

// The folder name must be one path component: an empty name or ".." would
// make a drive root or the whole application-data folder the install folder,
// which the uninstaller later deletes with everything in it.
bool IsSingleFolderName(const std::wstring& name) { return base::IsPlainFileName(name); }

}  // namespace

bool InstallConfig::InitInstallDir() {
  Log("InitInstallDir");
  if (!IsSingleFolderName(installName)) {
    Log("InitInstallDir :: bad installName: [%s]", base::Utf8(installName).c_str());
    return false;
  }
  IDriveQueries& drives = CurrentDriveQueries();
  std::vector<std::wstring> roots = CandidateRoots(drives);

  // An earlier installation is recognised only by its folder, wherever it is.
  for (const std::wstring& root : roots) {
    std::wstring dir = root + installName + L"\\";
    if (drives.FolderExists(dir)) {
      // A junction or link there could point the installation, and later
      // the uninstaller, at any folder of the machine.
      if (drives.IsReparsePoint(dir)) {
        Log("InitInstallDir :: %s is a link, not used", base::Utf8(dir).c_str());
        continue;
      }
      Log("exist: %s", base::Utf8(dir).c_str());
      SetInstallDir(dir);
      return true;
    }
  }

  // A new installation: first where the package fits, then anywhere fixed.
  for (bool needSpace : {true, false}) {
    std::wstring dir = CreateUnderFixedDrive(drives, roots, installName, needSpace);
    if (!dir.empty()) {
      SetInstallDir(dir);
      return true;
    }
  }
  return false;
}

void InstallConfig::SetInstallDir(const std::wstring& path) {
  Log("SetInstallDir:%s", base::Utf8(path).c_str());
  installDir = path;
}

std::wstring InstallConfig::GetPkgVerPath() const { return installDir + L"pkg.ver"; }

std::wstring InstallConfig::GetPkgDownloadPath() const {
  return installDir + pkgName + L".pkg.downloading";
}

std::wstring InstallConfig::GetPkgExePath() const {
  return installDir + pkgName + L"\\" + pkgName + L".exe";
}

std::wstring InstallConfig::GetLauncherPath() const {
  return installDir + L"vorn-" + platform + L".exe";
}

std::wstring InstallConfig::GetWeiduanShellPath() const { return installDir + weiduanShell; }

std::wstring InstallConfig::GetWeiduanCfgPath() const { return installDir + weiduanCfg; }

std::wstring InstallConfig::GetWeiduanVerPath() const { return installDir + L"weiduan.ver"; }
