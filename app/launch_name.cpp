#include "app/launch_name.h"

#include <regex>

#include "base/strings.h"

LauncherName ParseLauncherName(const std::wstring& stem) {
  static const std::wregex three(L"^(\\w+)-(\\w+)-(\\w+).*");
  static const std::wregex two(L"^(\\w+)-(\\w+).*");
  LauncherName name;
  std::wsmatch m;
  if (std::regex_search(stem, m, three)) {
    name.namePrefix = m[1];
    name.platform = m[2];
    name.token = m[3];
  } else if (std::regex_search(stem, m, two)) {
    name.namePrefix = m[1];
    name.platform = m[2];
  }
  return name;
}

bool IsUninstallLauncher(const std::wstring& modulePath) {
  return base::Contains(base::FileNamePart(modulePath), L"Uninstall.exe");
}

LaunchMode ChooseLaunchMode(const std::wstring& commandLine, const std::wstring& modulePath) {
  if (base::Contains(commandLine, L"://") && !base::Contains(modulePath, L".run.exe"))
    return LaunchMode::WebLaunchCopy;
  if (IsUninstallLauncher(modulePath)) return LaunchMode::Uninstall;
  return LaunchMode::Normal;
}

std::wstring WebLaunchCopyPath(const std::wstring& modulePath) {
  return base::JoinPath(base::DirectoryPart(modulePath), base::Stem(modulePath) + L".run.exe");
}

std::wstring WebLaunchUserInfo(const std::wstring& commandLine) {
  size_t q = commandLine.find(L'?');
  // Without a "?" the slice starts at 0, as if the mark stood just before the text.
  size_t start = q == std::wstring::npos ? 0 : q + 1;
  size_t end = commandLine.empty() ? 0 : commandLine.size() - 1;
  if (start >= end) return std::wstring();
  return commandLine.substr(start, end - start);
}
