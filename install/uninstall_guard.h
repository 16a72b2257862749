#pragma once
// What the uninstaller's second stage may remove. Its command line and
// "Uninstall.ini" can be written by anyone, so each thing it is told to
// delete is checked against what an installation of ours looks like.
#include <string>

// The absolute, normalised form of a folder given on a command line: "\\?\"
// prefixes undone, GetFullPathNameW applied ("D:\x\.." is "D:\"), trailing
// separators dropped except a drive root's. Empty for a device path
// ("\\.\...") or a path the system cannot resolve.
std::wstring FullFolderPath(const std::wstring& path);

// Empty when `fullPath` (from FullFolderPath) may be removed as the
// installation named `installName`; otherwise the reason it may not: a
// reparse point, a drive or share root, a folder holding or equal to the
// profile, Windows, program-files or application-data folders, a last
// component other than `installName`, or no Uninstall.ini inside.
std::string InstallFolderRefusal(const std::wstring& fullPath, const std::wstring& installName);

// Empty when `link` is a shortcut directly in the user's desktop folder
// (<desktop>\<name>.lnk); otherwise why it is left alone.
std::string DesktopLinkRefusal(const std::wstring& link);

// Empty when `regPath` is the uninstall list key and `installName` one key
// name; otherwise why the registry is left alone.
std::string UninstallKeyRefusal(const std::wstring& regPath, const std::wstring& installName);

// "\\?\" + the full path (or "\\?\UNC\server\..." for a share), so that file
// calls reach entries deeper than MAX_PATH.
std::wstring ExtendedLengthPath(const std::wstring& fullPath);
