#include "workflow/checksum_keys.h"

#include "base/digest_text.h"
#include "workflow/ini_file.h"

const char* const kChecksumKeyNames[5] = {"pkgSha256", "weiduanSha256", "weiduanCfgSha256", "launcherLogoSha256",
                                          "pkgManifestSha256"};

bool ReadChecksumKeys(const IniFile& ini, const std::string& platformUtf8, ChecksumKeys* keys,
                      std::string* error) {
  std::string ChecksumKeys::*fields[5] = {&ChecksumKeys::pkgSha256, &ChecksumKeys::weiduanSha256,
                                          &ChecksumKeys::weiduanCfgSha256, &ChecksumKeys::launcherLogoSha256,
                                          &ChecksumKeys::pkgManifestSha256};
  ChecksumKeys read;
  for (const std::string& section : {std::string("common"), platformUtf8}) {
    for (int i = 0; i < 5; ++i) {
      std::string value = ini.Get(section, kChecksumKeyNames[i], "");
      if (value.empty()) continue;
      // Checked in both sections, so a typo is found even where the other
      // section would have hidden it.
      Sha256Digest digest;
      if (!ParseSha256Text(value, &digest)) {
        *error = std::string("bad ") + kChecksumKeyNames[i] + ": " + value;
        return false;
      }
      read.*fields[i] = Sha256Text(digest);
    }
  }
  *keys = read;
  return true;
}
