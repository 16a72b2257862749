#include "install/uninstall.h"

#include <windows.h>

#include "base/log.h"
#include "base/paths.h"
#include "base/start_process.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "base/verified_start.h"
#include "base/folder_handle.h"
#include "install/install_id.h"
#include "install/install_id_file.h"
#include "install/install_record.h"
#include "install/registration.h"
#include "install/uninstall_guard.h"
#include "install/uninstall_ini.h"

namespace {

constexpr wchar_t kSecondStagePrefix[] = L"tmp567pbq3cas9190aewdqw634_";
// The second stage trusts time, not a handle, to know that the first stage
// (whose executable it removes) has ended: the first exits right after
// starting it.
constexpr DWORD kFirstStageExitWaitMs = 2000;
constexpr REGSAM kDeleteAccess = KEY_WRITE | KEY_QUERY_VALUE;  // 0x20007

// Backslashes only, and no trailing separator but a root's.
std::wstring CanonicalSeparators(std::wstring path) {
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  return base::WithoutTrailingSeparators(path);
}

// Windows cannot remove a process's current folder, so the second stage steps
// out of the install folder first (it starts there when the first stage was
// started from it).
void LeaveFolder(const std::wstring& installDir) {
  wchar_t current[1024] = {};
  DWORD n = GetCurrentDirectoryW(1024, current);
  if (n == 0 || n >= 1024 || !IsSameOrInsideFolder(current, installDir)) return;
  std::wstring parent = base::DirectoryPart(CanonicalSeparators(installDir));
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
  if (!SetCurrentDirectoryW(parent.c_str()))
    Log("leaving the install folder failed: %s", base::ErrorText(GetLastError()).c_str());
}

[[noreturn]] void RunFirstStage(const std::wstring& modulePath,
                                const std::function<void()>& releaseInstanceLock) {
  Log("首次启动 Uninstall.exe");
  wchar_t temp[1024] = {};
  DWORD n = GetTempPathW(1024, temp);
  if (n == 0 || n >= 1024) {
    Log("GetTempPath failed: %s", base::ErrorText(GetLastError()).c_str());
    ExitProcess(0);
  }
  std::wstring copy = base::JoinPath(temp, SecondStageName());
  // The copy is this same program and takes the single-instance mutex at its
  // start like any launcher; while we held it the copy would quit at once as
  // a second instance. So we let go of it here, just before starting the copy
  // (the copy then holds it for the whole removal), rather than make the copy
  // wait for a lock it has no way to tell apart from a real second launcher.
  if (releaseInstanceLock) releaseInstanceLock();
  // Anyone can put a file of that name into the temporary folder first; a
  // copy that failed, or is not this program, is never started.
  std::string error;
  if (!CopyAndStart(modulePath, copy, base::DirectoryPart(modulePath), SW_SHOW, &error))
    Log("the second stage is not started: %s", error.c_str());
  ExitProcess(0);
}

// Empty when `installDir` is the folder recorded for `installName`; `record`
// is then the record.
std::string RecordRefusal(const std::wstring& installDir, const std::wstring& installName, InstallRecord* record) {
  if (!ReadInstallRecord(installName, record)) return "no install record of this user names it";
  if (!base::SamePathText(FullFolderPath(record->installDir), installDir))
    return "the install record names " + base::Utf8(record->installDir);
  return std::string();
}


void RunSecondStage(const std::wstring& commandLine) {
  Log("从temp拉起的uninstall，开始真正的删除操作");
  // The command line and Uninstall.ini can come from anyone: the folder is
  // removed only when it looks like our installation, the shortcut only when
  // it is one on the desktop, the key only when it is in the uninstall list.
  std::wstring installDir = FullFolderPath(commandLine);
  if (installDir.empty()) {
    Log("uninstall refused for %s: not a folder path", base::Utf8(commandLine).c_str());
    return;
  }
  UninstallSettings settings;
  if (!ReadCfg(installDir, settings)) {
    Log("读取uninstall.ini失败");
    return;
  }
  std::string refusal = InstallFolderRefusal(installDir, settings.installName);
  // Only the folder this user's launcher recorded, still holding the id it
  // wrote there: a marker file inside a folder proves nothing, anyone may
  // have put it there (or the launcher itself, into a folder not its own).
  InstallRecord record;
  if (refusal.empty()) refusal = RecordRefusal(installDir, settings.installName, &record);
  if (!refusal.empty()) {
    Log("uninstall refused for %s: %s", base::Utf8(installDir).c_str(), refusal.c_str());
    return;
  }
  Sleep(kFirstStageExitWaitMs);
  // A process's current folder cannot be opened for deletion; ours steps out.
  LeaveFolder(installDir);
  // Opened once, without following a link, and checked for the recorded id
  // through that handle; the removal goes through the same handle.
  base::UniqueFile folder;
  unsigned long rc = base::OpenFolderNoFollow(ExtendedLengthPath(installDir), &folder);
  if (rc == 0 && ReadInstallIdIn(folder.Get()) != record.installId) {
    Log("uninstall refused for %s: its install id does not match the record", base::Utf8(installDir).c_str());
    return;
  }

  Log("开始删除installpath: %s", base::Utf8(installDir).c_str());
  // The id goes last, so that a folder left half-removed is still
  // recognised as this installation.
  if (rc == 0) rc = RemoveOpenedTree(folder.Get(), kInstallIdFileName);
  folder.Reset();
  Log("删除installpath result: %s", base::ErrorText(rc).c_str());
  if (rc == 0) ClearInstallRecord(settings.installName);

  Log("删除桌面link: %s", base::Utf8(settings.desktopLink).c_str());
  refusal = DesktopLinkRefusal(settings.desktopLink);
  // The very path that was checked, not the text as written.
  if (refusal.empty())
    DeleteFileW(FullFolderPath(settings.desktopLink).c_str());
  else
    Log("desktop link left alone: %s", refusal.c_str());

  Log("删除注册表: %s, sub: %s", base::Utf8(settings.regPath).c_str(),
      base::Utf8(settings.installName).c_str());
  refusal = UninstallKeyRefusal(settings.regPath, settings.installName);
  if (refusal.empty())
    DeleteUninstallKey(settings);
  else
    Log("uninstall entry left alone: %s", refusal.c_str());
}

}  // namespace

std::wstring SecondStageName() { return std::wstring(kSecondStagePrefix) + kUninstallerName; }

void RunUninstall(const std::wstring& modulePath, const std::wstring& commandLine,
                  const std::function<void()>& releaseInstanceLock) {
  std::wstring name = base::FileNamePart(modulePath);
  if (name == kUninstallerName && (commandLine.empty() || IsRestOfOwnPath(modulePath, commandLine)))
    RunFirstStage(modulePath, releaseInstanceLock);
  if (name == SecondStageName() && !commandLine.empty()) RunSecondStage(commandLine);
  // Any other name and command line: not ours to act on.
}

bool ReadCfg(const std::wstring& installDir, UninstallSettings& settings) {
  std::wstring iniPath = base::JoinPath(installDir, kUninstallIniName);
  Log("ReadCfg::iniPath: %s", base::Utf8(iniPath).c_str());
  if (!base::PathExists(iniPath) || base::DirectoryExists(iniPath)) return false;
  Log("ReadCfg::iniPath start ...");
  // Read as bytes through the wide path and decoded as UTF-8 here: the
  // profile-string API would read the values in the ANSI code page and lose
  // every character outside it.
  std::string bytes;
  if (!base::ReadWholeFile(iniPath, bytes)) return false;
  UninstallIni ini = ParseUninstallIni(bytes);
  Log("ReadCfg::desktopLink:%s", ini.desktopLink.c_str());
  Log("ReadCfg::installName:%s", ini.installName.c_str());
  Log("ReadCfg::regPath:%s", ini.regPath.c_str());
  settings.desktopLink = base::ToWide(ini.desktopLink);
  settings.installName = base::ToWide(ini.installName);
  settings.regPath = base::ToWide(ini.regPath);
  // An empty desktopLink only means that no shortcut could be made at install
  // time; the rest of the installation is still to be removed.
  return !settings.installName.empty() && !settings.regPath.empty();
}

void DeleteUninstallKey(const UninstallSettings& settings) {
  base::UniqueKey parent;
  LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, settings.regPath.c_str(), 0, kDeleteAccess, parent.Put());
  if (rc != ERROR_SUCCESS) {
    Log("DeleteUninstallKey: open failed=%ld", static_cast<long>(rc));
    return;
  }
  rc = RegDeleteKeyW(parent.Get(), settings.installName.c_str());
  Log("DeleteUninstallKey: delete result=%ld", static_cast<long>(rc));
}

bool IsRestOfOwnPath(const std::wstring& modulePath, const std::wstring& commandLine) {
  std::wstring rest = commandLine;
  while (!rest.empty() && (rest.back() == L' ' || rest.back() == L'\t')) rest.pop_back();
  if (rest.empty() || rest.size() + 1 >= modulePath.size()) return false;
  size_t at = modulePath.size() - rest.size();
  return modulePath[at - 1] == L' ' && modulePath.compare(at, rest.size(), rest) == 0;
}

bool IsSameOrInsideFolder(const std::wstring& path, const std::wstring& folder) {
  std::wstring p = CanonicalSeparators(path);
  std::wstring f = CanonicalSeparators(folder);
  if (f.empty()) return false;
  if (p.size() == f.size()) return base::SamePathText(p, f);
  if (p.size() < f.size()) return false;
  bool boundary = f.back() == L'\\' || p[f.size()] == L'\\';  // a root keeps its separator
  return boundary && base::StartsWithPathText(p, f);
}
