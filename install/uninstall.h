#pragma once
// The uninstaller: the launcher started as "Uninstall.exe" removes its
// installation in two stages (see uninstall.cpp).
#include <functional>
#include <string>

#include "install/tree_removal.h"

// What "Uninstall.ini" says to remove, decoded to wide text.
struct UninstallSettings {
  std::wstring desktopLink;
  std::wstring installName;
  std::wstring regPath;
};

// The name of the second stage's copy in the temporary folder.
std::wstring SecondStageName();

// Runs the stage that the executable's name and command line select; returns
// when there is nothing (more) to do. The first stage does not return: it ends
// the process after starting the second. `releaseInstanceLock` lets go of
// start-up's single-instance mutex; it is called just before the second
// stage is started.
void RunUninstall(const std::wstring& modulePath, const std::wstring& commandLine,
                  const std::function<void()>& releaseInstanceLock);

// Reads installDir\Uninstall.ini; true when it exists and names installName
// and regPath (desktopLink is empty when no shortcut could be made).
bool ReadCfg(const std::wstring& installDir, UninstallSettings& settings);

// Deletes the entry's key `installName` below HKEY_CURRENT_USER\regPath.
void DeleteUninstallKey(const UninstallSettings& settings);

// True when the uninstaller, started from an unquoted path with blanks (an
// older uninstall entry), was handed the rest of its own path as its command
// line: "C:\My Games\x\Uninstall.exe" run unquoted gives "Games\x\Uninstall.exe".
bool IsRestOfOwnPath(const std::wstring& modulePath, const std::wstring& commandLine);

// True when `path` is `folder` or lies below it (letter case ignored).
bool IsSameOrInsideFolder(const std::wstring& path, const std::wstring& folder);
