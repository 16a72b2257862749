// What a launcher with a publisher key demands of a signed configuration.
#include "workflow/signed_config.h"

#include <gtest/gtest.h>

#include <string>

#include "workflow/ini_file.h"

namespace {

const std::string kSum(64, 'a');

// A configuration a keyed launcher accepts: every fetched file covered.
std::string Complete() {
  return "[common]\ninstallName=Vorn\npkgUrl=http://h/g-%d.zip\npkgSha256=" + kSum +
         "\nweiduanUrl=http://h/s.exe\nweiduanSha256=" + kSum + "\nweiduanCfgUrl=http://h/s.cfg\nweiduanCfgSha256=" +
         kSum + "\nlauncherLogo=http://h/l.png\nlauncherLogoSha256=" + kSum + "\nconfigSerial=7\npkgVersion=105\n";
}

// `text` with the line of `key` dropped.
std::string Without(const std::string& text, const std::string& key) {
  size_t at = text.find("\n" + key + "=");
  return text.substr(0, at + 1) + text.substr(text.find('\n', at + 1) + 1);
}

TEST(SignedConfig, CompleteConfigurationGivesItsSerialAndVersion) {
  IniFile ini(Complete());
  ASSERT_TRUE(ini.error.empty());
  SignedValues values;
  EXPECT_EQ(SignedConfigRefusal(ini, "pc", &values), "");
  EXPECT_EQ(values.configSerial, 7u);
  EXPECT_EQ(values.pkgVersion, 105);
}

TEST(SignedConfig, RefusalsNameTheMissingOrBadKey) {
  struct Case {
    std::string text;
    std::string platform;
    std::string refusal;
  } cases[] = {
      {Without(Complete(), "pkgSha256"), "pc", "pkgUrl has no pkgSha256"},
      {Without(Complete(), "weiduanSha256"), "pc", "weiduanUrl has no weiduanSha256"},
      {Without(Complete(), "weiduanCfgSha256"), "pc", "weiduanCfgUrl has no weiduanCfgSha256"},
      {Without(Complete(), "launcherLogoSha256"), "pc", "launcherLogo has no launcherLogoSha256"},
      // The manifest's default URL is covered by pkgManifestSha256 when it is
      // fetched at all; a URL of its own must come with the checksum.
      {Complete() + "[pc]\npkgManifestUrl=http://h/g-%d.zip.files\n", "pc", "pkgManifestUrl has no pkgManifestSha256"},
      {Complete() + "[pc]\npkgManifestUrl=http://h/m-%d\n[common]\npkgManifestSha256=" + kSum + "\n", "pc", ""},
      {Without(Complete(), "installName"), "pc", "no installName"},
      {Without(Complete(), "configSerial"), "pc", "no configSerial"},
      {Without(Complete(), "pkgVersion"), "pc", "no pkgVersion"},
      // The effective section counts: a URL only the platform names needs its checksum too...
      {Complete() + "[pc]\nlauncherLogo=http://other/l.png\n", "pc", ""},
      {Without(Without(Complete(), "weiduanUrl"), "weiduanSha256") + "[pc]\nweiduanUrl=http://h/s.exe\n", "pc",
       "weiduanUrl has no weiduanSha256"},
      // ...and another platform's section does not.
      {Without(Without(Complete(), "weiduanUrl"), "weiduanSha256") + "[pc]\nweiduanUrl=http://h/s.exe\n", "mac", ""},
      {Complete() + "[pc]\nconfigSerial=-1\n", "pc", "bad configSerial: -1"},
      {Complete() + "[pc]\nconfigSerial=1e9\n", "pc", "bad configSerial: 1e9"},
      {Complete() + "[pc]\nconfigSerial=1000000000000000000\n", "pc", "bad configSerial: 1000000000000000000"},
      {Complete() + "[pc]\npkgVersion=+105\n", "pc", "bad pkgVersion: +105"},
      {Complete() + "[pc]\npkgVersion=2147483648\n", "pc", "bad pkgVersion: 2147483648"},
      {Complete() + "[pc]\npkgVersion=2147483647\n", "pc", ""},
      {Complete() + "[pc]\nconfigSerial=999999999999999999\n", "pc", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    IniFile ini(c.text);
    ASSERT_TRUE(ini.error.empty()) << ini.error;
    SignedValues values;
    values.configSerial = 42;
    std::string refusal = SignedConfigRefusal(ini, c.platform, &values);
    EXPECT_EQ(refusal, c.refusal);
    if (!refusal.empty()) {
      EXPECT_EQ(values.configSerial, 42u);  // untouched
    }
  }
}

TEST(SignedConfig, VersionAnswerMustBeTheSignedVersion) {
  struct Case {
    std::string answer;
    std::string mismatch;
  } cases[] = {
      {"105", ""},
      {"105\r\n", ""},
      {"105 \n", ""},
      {"0", "server version 0 differs from the signed version 105"},
      {"2147483647", "server version 2147483647 differs from the signed version 105"},
      {"0105", "server version 0105 differs from the signed version 105"},
      {" 105", "server version  105 differs from the signed version 105"},
      {"105abc", "server version 105abc differs from the signed version 105"},
      {"", "server version  differs from the signed version 105"},
      {std::string("10\x01\xff", 4), "server version 10?? differs from the signed version 105"},
      {std::string(40, '9'), "server version " + std::string(32, '9') + "... differs from the signed version 105"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    EXPECT_EQ(SignedVersionMismatch(c.answer, 105), c.mismatch);
  }
}

}  // namespace
