#pragma once
// "pkg.ver" in the install folder: the version of the package unpacked there,
// written as the server sent it with every LF as CRLF.
#include <string>

struct InstallConfig;

// False when the file does not exist. A file that cannot be read gives an
// empty text, which reads as version 0.
bool ReadPkgVersionFile(const InstallConfig& config, std::string* text);

// False, with the last error set, when the file cannot be written.
bool WritePkgVersionFile(const InstallConfig& config, const std::string& version);
