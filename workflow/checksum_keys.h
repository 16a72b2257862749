#pragma once
// The checksum keys of the install configuration: the SHA-256 of the
// package archive, the micro-client shell, its configuration file, the
// launcher logo and the package manifest (a launcher with a publisher key demands each one whose file
// it fetches, see signed_config.h).
// Free of windows.h (the publication checker shares it).
#include <string>

struct IniFile;

struct ChecksumKeys {
  std::string pkgSha256;         // 64 lower-case hex digits, or empty when not set
  std::string weiduanSha256;
  std::string weiduanCfgSha256;
  std::string launcherLogoSha256;
  std::string pkgManifestSha256;
};

// The key names, in the order of ChecksumKeys.
extern const char* const kChecksumKeyNames[5];

// Reads the five keys with the same "common"-then-platform merge as the
// other keys. A non-empty value in either section that is not exactly 64
// hexadecimal digits refuses the configuration: false, `error` =
// "bad <key>: <value>".
bool ReadChecksumKeys(const IniFile& ini, const std::string& platformUtf8, ChecksumKeys* keys,
                      std::string* error);
