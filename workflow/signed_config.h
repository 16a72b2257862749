#pragma once
// What a launcher built with a publisher key demands of the configuration
// beyond its signature: a checksum for every file it fetches, the package
// version, and the serial that keeps an older signed configuration from
// being served again. Free of windows.h (the publication checker shares it).
#include <cstdint>
#include <string>

struct IniFile;

// A URL key and the checksum key that must come with it.
struct CoveredUrlKey {
  const char* urlKey;
  const char* sumKey;
};
extern const CoveredUrlKey kCoveredUrlKeys[5];

struct SignedValues {
  uint64_t configSerial = 0;
  int32_t pkgVersion = 0;
};

// The refusal a keyed launcher gives the configuration's effective section
// ("common", overridden key by key by `platformUtf8`), in this order:
// "<url key> has no <checksum key>", "no installName", "no configSerial",
// "bad configSerial: <value>", "no pkgVersion", "bad pkgVersion: <value>".
// Empty, and `values` filled, when it would use it.
std::string SignedConfigRefusal(const IniFile& ini, const std::string& platformUtf8, SignedValues* values);

// A serial is decimal digits only, at most 18 of them (below 10^18).
bool ParseConfigSerial(const std::string& text, uint64_t* serial);
// A package version is decimal digits only, within the signed 32-bit range.
bool ParsePkgVersion(const std::string& text, int32_t* version);

// Empty when the server's version answer is the signed version (its text,
// allowing trailing white space such as a line end); otherwise "server
// version <answer> differs from the signed version <n>", the answer shown
// trimmed, cut to 32 bytes and with any byte that is not printable ASCII as "?".
std::string SignedVersionMismatch(const std::string& answer, int32_t signedVersion);
