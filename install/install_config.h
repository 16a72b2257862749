#pragma once
// The run's install configuration: values from the downloaded
// configuration, from the executable's own name and command line, and the
// chosen install folder with the paths inside it.
#include <string>
#include <vector>

#include "base/strings.h"

struct InstallConfig {
  std::string cfgUrl = VORN_CONFIG_URL;
  std::wstring platform = L"360";
  std::wstring token;
  std::wstring installName;
  std::wstring weiduanName;
  std::string weiduanUrl;
  std::string weiduanCfgUrl;
  std::wstring weiduanShell;
  std::wstring weiduanVer;
  std::wstring weiduanCfg;
  bool weiduanShortcut = false;
  bool weiduanNeedAdmin = false;
  std::string tokensvr;
  std::string qosUrl;
  std::wstring userInfo;
  std::string serverVersion;
  std::string minverUrl;
  std::string pkgUrl;
  std::wstring pkgName;
  std::wstring modulePath;
  std::string launcherLogo;
  // SHA-256 of the package, the micro-client shell, its configuration and
  // the logo (64 lower-case hex digits); empty when the configuration names none.
  std::string pkgSha256;
  std::string weiduanSha256;
  std::string weiduanCfgSha256;
  std::string launcherLogoSha256;
  // The package manifest: its SHA-256 (empty: no update by entries), its URL
  // pattern (like pkgUrl; empty: the package URL + ".manifest"), and the
  // entries that are the player's once written (keep_local.h).
  std::string pkgManifestSha256;
  std::string pkgManifestUrl;
  std::vector<std::string> pkgKeepLocal;
  // The package version the signed configuration names (decimal), which the
  // server's version answer must equal; empty in a launcher without a
  // publisher key, which takes the server's answer as it comes.
  std::string pkgVersion;
  std::wstring installDir;  // ends with a backslash once chosen

  // Install folder choice and the fixed names inside it.
  bool InitInstallDir();
  void SetInstallDir(const std::wstring& path);
  std::wstring GetPkgVerPath() const;
  std::wstring GetPkgFilesPath() const;  // the ledger of installed files
  std::wstring GetPkgDownloadPath() const;
  std::wstring GetPkgExePath() const;
  std::wstring GetLauncherPath() const;
  std::wstring GetWeiduanShellPath() const;
  std::wstring GetWeiduanCfgPath() const;
  std::wstring GetWeiduanVerPath() const;

  // Desktop shortcut, uninstall entry, uninstaller copy and Uninstall.ini.
  void RegisterInstallation();
};
