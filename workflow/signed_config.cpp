#include "workflow/signed_config.h"

#include <limits>

#include "workflow/ini_file.h"

const CoveredUrlKey kCoveredUrlKeys[5] = {
    {"pkgUrl", "pkgSha256"},
    {"weiduanUrl", "weiduanSha256"},
    {"weiduanCfgUrl", "weiduanCfgSha256"},
    {"launcherLogo", "launcherLogoSha256"},
    {"pkgManifestUrl", "pkgManifestSha256"},
};

namespace {

// The value the launcher uses: the platform's, else the one in "common".
std::string Effective(const IniFile& ini, const std::string& platform, const char* key) {
  std::string value = ini.Get(platform, key, "");
  return value.empty() ? ini.Get("common", key, "") : value;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

bool ParseConfigSerial(const std::string& text, uint64_t* serial) {
  if (!AllDigits(text) || text.size() > 18) return false;
  uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<uint64_t>(c - '0');
  *serial = value;
  return true;
}

bool ParsePkgVersion(const std::string& text, int32_t* version) {
  if (!AllDigits(text) || text.size() > 10) return false;
  int64_t value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  if (value > std::numeric_limits<int32_t>::max()) return false;
  *version = static_cast<int32_t>(value);
  return true;
}

std::string SignedConfigRefusal(const IniFile& ini, const std::string& platformUtf8, SignedValues* values) {
  for (const CoveredUrlKey& covered : kCoveredUrlKeys) {
    if (!Effective(ini, platformUtf8, covered.urlKey).empty() &&
        Effective(ini, platformUtf8, covered.sumKey).empty())
      return std::string(covered.urlKey) + " has no " + covered.sumKey;
  }
  // The accepted serial is kept under the install name.
  if (Effective(ini, platformUtf8, "installName").empty()) return "no installName";
  SignedValues read;
  std::string serial = Effective(ini, platformUtf8, "configSerial");
  if (serial.empty()) return "no configSerial";
  if (!ParseConfigSerial(serial, &read.configSerial)) return "bad configSerial: " + serial;
  std::string version = Effective(ini, platformUtf8, "pkgVersion");
  if (version.empty()) return "no pkgVersion";
  if (!ParsePkgVersion(version, &read.pkgVersion)) return "bad pkgVersion: " + version;
  *values = read;
  return std::string();
}

std::string SignedVersionMismatch(const std::string& answer, int32_t signedVersion) {
  std::string trimmed = answer;
  while (!trimmed.empty() && (trimmed.back() == ' ' || (trimmed.back() >= '\t' && trimmed.back() <= '\r')))
    trimmed.pop_back();
  const std::string expected = std::to_string(signedVersion);
  if (trimmed == expected) return std::string();
  // The answer comes from the network: shown short and plain.
  std::string shown = trimmed.substr(0, 32);
  for (char& c : shown)
    if (c < 0x20 || c > 0x7e) c = '?';
  if (trimmed.size() > 32) shown += "...";
  return "server version " + shown + " differs from the signed version " + expected;
}
