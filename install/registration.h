#pragma once
// What makes a micro-client installation visible and removable: the desktop
// shortcut, the entry in the current user's installed programs, the
// uninstaller copy and "Uninstall.ini". InstallConfig::RegisterInstallation
// does all of it; the pieces are here.
#include <string>

// Parent key of the uninstall entry, below HKEY_CURRENT_USER.
constexpr wchar_t kUninstallRegPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUninstallerName[] = L"Uninstall.exe";
constexpr wchar_t kUninstallIniName[] = L"Uninstall.ini";
constexpr wchar_t kPublisher[] = L"Tarnfeld";

// The user's desktop folder without a trailing separator; empty when unknown.
std::wstring DesktopFolder();

// The folder part of a path (up to its last "\" or "/", excluded); the whole
// path when it has no separator.
std::wstring LinkWorkingDirectory(const std::wstring& target);

// Creates (or replaces) desktop\<name>.lnk pointing at `target` with
// `arguments`, working in the target's folder. Returns the link's path, or
// empty when it could not be made.
std::wstring CreateDesktopLink(const std::wstring& target, const std::wstring& name,
                               const std::wstring& arguments);

// Writes `data` as the REG_SZ value `valueName` of HKEY_CURRENT_USER\parentPath\keyName.
// Failures are logged, never returned: the result is always true.
bool WriteRegistryValue(const std::wstring& parentPath, const std::wstring& valueName,
                        const std::wstring& data, const std::wstring& keyName);

// Rewrites installDir + "Uninstall.ini" with the link path, the install name
// and the registry path in UTF-8. A file that cannot be written is logged only.
void WriteUninstallIni(const std::wstring& installDir, const std::wstring& installName,
                       const std::wstring& regPath, const std::wstring& linkPath);
