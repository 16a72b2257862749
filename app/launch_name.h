#pragma once
// How start-up reads its own file name and command line; free of windows.h.
#include <string>

struct LauncherName {
  std::wstring namePrefix;  // empty: the name matched neither pattern
  std::wstring platform;
  std::wstring token;
};

// The stem read as "^(\w+)-(\w+)-(\w+).*", else as "^(\w+)-(\w+).*"; a name that
// fits neither leaves `namePrefix` empty.
LauncherName ParseLauncherName(const std::wstring& stem);

enum class LaunchMode { WebLaunchCopy, Uninstall, Normal };

// True when the file-name part of the path contains "Uninstall.exe" (case-sensitive).
bool IsUninstallLauncher(const std::wstring& modulePath);
LaunchMode ChooseLaunchMode(const std::wstring& commandLine, const std::wstring& modulePath);

// A run asked to check every installed file by its hash: the command line
// holds the word "--repair" (blank-separated). A web launch's command line
// (with "://") never does: a web page cannot ask for it.
bool RepairRequested(const std::wstring& commandLine);

// The web-launch copy: the executable's folder, its stem and ".run.exe".
std::wstring WebLaunchCopyPath(const std::wstring& modulePath);

// The user info a web launch carries: the command line after its first "?",
// without the command line's last character (the browser's trailing "/").
std::wstring WebLaunchUserInfo(const std::wstring& commandLine);
