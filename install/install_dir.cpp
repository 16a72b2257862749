// The install folder of InstallConfig and the fixed file names inside it.
#include <cstdint>
#include <vector>

#include "base/file_name_rules.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/strings.h"
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

// Gives `dir` a new install id and records it for this user, so that from
// now on the record decides which folder is the installation. A folder that
// cannot be recorded is still used for this run.
void RecordOwnership(IDriveQueries& drives, const std::wstring& installName, const std::wstring& dir) {
  InstallRecord record;
  record.installId = drives.NewInstallId();
  record.installDir = dir;
  if (record.installId.empty() || !drives.WriteInstallId(dir, record.installId) ||
      !drives.WriteRecord(installName, record))
    Log("InitInstallDir :: %s could not be recorded as this user's installation", base::Utf8(dir).c_str());
}

// Why the recorded folder is not (or no longer) the installation; empty when it is.
std::string RecordedFolderRefusal(IDriveQueries& drives, const InstallRecord& record,
                                  const std::wstring& installName) {
  const std::wstring& dir = record.installDir;
  std::wstring name = base::FileNamePart(base::WithoutTrailingSeparators(dir));
  if (!base::SamePathText(name, installName)) return "its name is not installName";
  if (!drives.FolderExists(dir)) return "it is gone";
  if (drives.IsReparsePoint(dir)) return "it is a link";
  if (drives.ReadInstallId(dir) != record.installId) return "its install id does not match the record";
  return std::string();
}

// Why an existing folder found by the search, without a matching record,
// is not adopted as this user's installation; empty when it is.
std::string AdoptionRefusal(IDriveQueries& drives, const std::wstring& root, const std::wstring& dir) {
  // A junction or link there could point the installation, and later the
  // uninstaller, at any folder of the machine.
  if (drives.IsReparsePoint(dir)) return "it is a link";
  // A removable or network drive can come from anywhere, already prepared.
  if (drives.DriveType(RootPathOf(root)) != kDriveFixed) return "it is not on a fixed drive";
  // A folder that merely shares the name (installName=Microsoft in the
  // application data) is not an installation, whoever owns it.
  if (!drives.HoldsInstallationFiles(dir)) return "it holds no installation";
  return drives.OwnershipRefusal(dir);
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

  // This user's installation, as recorded when the folder was made or adopted.
  InstallRecord record;
  if (drives.ReadRecord(installName, record)) {
    std::string refusal = RecordedFolderRefusal(drives, record, installName);
    if (refusal.empty()) {
      Log("exist: %s", base::Utf8(record.installDir).c_str());
      SetInstallDir(record.installDir);
      return true;
    }
    Log("InitInstallDir :: recorded %s not used: %s", base::Utf8(record.installDir).c_str(), refusal.c_str());
  }

  std::vector<std::wstring> roots = CandidateRoots(drives);
  // An installation of an earlier launcher has no record: an existing folder
  // is adopted only when nobody but this user can have put it there.
  for (const std::wstring& root : roots) {
    std::wstring dir = root + installName + L"\\";
    if (!drives.FolderExists(dir)) continue;
    std::string refusal = AdoptionRefusal(drives, root, dir);
    if (!refusal.empty()) {
      Log("InitInstallDir :: %s not used: %s", base::Utf8(dir).c_str(), refusal.c_str());
      continue;
    }
    Log("exist: %s", base::Utf8(dir).c_str());
    RecordOwnership(drives, installName, dir);
    SetInstallDir(dir);
    return true;
  }

  // A new installation: first where the package fits, then anywhere fixed.
  for (bool needSpace : {true, false}) {
    std::wstring dir = CreateUnderFixedDrive(drives, roots, installName, needSpace);
    if (!dir.empty()) {
      RecordOwnership(drives, installName, dir);
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
std::wstring InstallConfig::GetPkgFilesPath() const { return installDir + L"pkg.files"; }

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
