#pragma once
// Copies the install configuration's values into InstallConfig.
#include <string>

struct IniFile;
struct InstallConfig;

// Reads the "common" section, then the section named `platformUtf8`, key by
// key: a non-empty value replaces the field, an empty or absent one leaves it.
// The two flags are true only for exactly "1". pkgKeepLocal is read as a
// whole value (ParseKeepLocal) the same way.
void ApplyConfig(const IniFile& ini, const std::string& platformUtf8, InstallConfig& config);

// Empty when every name that is pasted into a path (installName, pkgName,
// weiduanShell, weiduanCfg, weiduanName) is unset or one plain file name;
// otherwise "bad <key>: <value>" for the first that is not.
std::string BadConfigName(const InstallConfig& config);
