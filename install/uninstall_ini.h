#pragma once
// The text of "Uninstall.ini": written at registration, read back by the
// uninstaller. Pure text handling, values in UTF-8; free of windows.h.
#include <string>

struct UninstallIni {
  std::string desktopLink;  // full path of the desktop shortcut; empty when none was made
  std::string installName;  // name of the uninstall entry's registry key
  std::string regPath;      // parent key of that entry, below HKEY_CURRENT_USER
};

// Four CR LF lines: "[uninstall]", then "desktopLink=", "installName=" and
// "regPath=" each followed by its value.
std::string FormatUninstallIni(const UninstallIni& ini);

// Reads the three keys of section "uninstall"; a key that is missing reads as
// empty. Section and key names match without regard to ASCII case, and the
// first occurrence of a key wins.
UninstallIni ParseUninstallIni(const std::string& text);
