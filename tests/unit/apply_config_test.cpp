#include "workflow/apply_config.h"

#include <gtest/gtest.h>

namespace {

const std::string kSum(64, 'a');

InstallConfig Parse(const std::string& text, const std::string& platform = "pc") {
  InstallConfigParse parse = ParseInstallConfig(text, platform);
  EXPECT_EQ(parse.error, "");
  return parse.config;
}

}  // namespace

TEST(ParseInstallConfig, CommonSectionFillsEveryKey) {
  InstallConfig c = Parse(
      "[common]\n"
      "installName=VornGame\nweiduanName=微端\nweiduanUrl=http://w/shell.exe\n"
      "weiduanCfgUrl=http://w/cfg.ini\ntokensvr=http://t/?token=\nminverUrl=http://m/ver\n"
      "pkgUrl=http://p/%s.zip\npkgName=vorn\nweiduanShell=shell.exe\nweiduanVer=1.2\n"
      "weiduanCfg=shell.ini\nweiduanShortcut=1\nweiduanNeedAdmin=1\nqosUrl=http://q/r\n"
      "launcherLogo=http://l/logo.png\npkgSha256=" + kSum + "\n");
  EXPECT_EQ(c.installName, L"VornGame");
  EXPECT_EQ(c.weiduanName, L"微端");
  EXPECT_EQ(c.weiduanUrl, "http://w/shell.exe");
  EXPECT_EQ(c.weiduanCfgUrl, "http://w/cfg.ini");
  EXPECT_EQ(c.tokensvr, "http://t/?token=");
  EXPECT_EQ(c.minverUrl, "http://m/ver");
  EXPECT_EQ(c.pkgUrl, "http://p/%s.zip");
  EXPECT_EQ(c.pkgName, L"vorn");
  EXPECT_EQ(c.weiduanShell, L"shell.exe");
  EXPECT_EQ(c.weiduanVer, L"1.2");
  EXPECT_EQ(c.weiduanCfg, L"shell.ini");
  EXPECT_TRUE(c.weiduanShortcut);
  EXPECT_TRUE(c.weiduanNeedAdmin);
  EXPECT_EQ(c.qosUrl, "http://q/r");
  EXPECT_EQ(c.launcherLogo, "http://l/logo.png");
  EXPECT_EQ(c.pkgSha256, kSum);
  EXPECT_EQ(c.pkgVersion, "") << "only a launcher that demands a signed configuration takes it";
  // Fields that do not come from the configuration keep their defaults.
  EXPECT_EQ(c.platform, L"360");
  EXPECT_EQ(c.cfgUrl, InstallConfig().cfgUrl);
  EXPECT_EQ(c.installDir, L"");
}

TEST(ParseInstallConfig, PlatformSectionOverridesKeyByKey) {
  InstallConfig c = Parse(
      "[common]\ninstallName=Common\npkgName=cpkg\nqosUrl=http://common/q\n"
      "[pc]\ninstallName=PcName\nqosUrl=\n"
      "[other]\npkgName=otherpkg\n");
  EXPECT_EQ(c.installName, L"PcName");
  EXPECT_EQ(c.pkgName, L"cpkg") << "another platform's section is not read";
  EXPECT_EQ(c.qosUrl, "http://common/q") << "an empty value does not clear common";
}

TEST(ParseInstallConfig, FlagsAreTrueOnlyForExactlyOne) {
  // The platform's value replaces common's "1" unless it is empty.
  const struct {
    const char* platformValue;
    bool expected;
  } rows[] = {{"0", false},   {"true", false}, {"yes", false}, {"01", false},
              {"1.0", false}, {"2", false},    {"1", true},    {"", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.platformValue);
    InstallConfig c = Parse(std::string("[common]\nweiduanShortcut=1\n[pc]\nweiduanShortcut=") +
                            row.platformValue + "\n");
    EXPECT_EQ(c.weiduanShortcut, row.expected);
  }
  EXPECT_FALSE(Parse("[common]\ninstallName=x\n").weiduanShortcut);
  EXPECT_TRUE(Parse("[pc]\nweiduanNeedAdmin=1\n").weiduanNeedAdmin);
}

TEST(ParseInstallConfig, PlatformSectionIsNamedInUtf8) {
  // The section grammar only allows ASCII names, so a non-ASCII platform reads "common" alone.
  EXPECT_EQ(Parse("[common]\ninstallName=C\n[pc_2]\ninstallName=P\n", "pc_2").installName, L"P");
  EXPECT_EQ(Parse("[common]\ninstallName=C\n", "平台").installName, L"C");
}

TEST(ParseInstallConfig, TheTextEndsAtItsFirstZeroByte) {
  InstallConfig c = Parse(std::string("[common]\ninstallName=A\n") + '\0' + "[pc]\ninstallName=B\n");
  EXPECT_EQ(c.installName, L"A");
}

// Each refusal is the message the player sees, and the first one in this
// order wins: unreadable text, a bad checksum, a missing signed value, a bad name.
TEST(ParseInstallConfig, RefusalsAreTheBoxTextInTheirOrder) {
  const std::string signedOk = "[common]\ninstallName=G\nconfigSerial=5\npkgVersion=7\n";
  const struct {
    const char* name;
    std::string text;
    bool demandSigned;
    std::string error;
  } rows[] = {
      {"key before any header", "installName=A\n", false,
       "解析安装配置失败！[error:must start with section: installName=A]"},
      {"bad checksum", "[common]\npkgSha256=xyz\n", false, "解析安装配置失败！[error:bad pkgSha256: xyz]"},
      {"bad checksum before signed demands", "[common]\npkgSha256=xyz\n", true,
       "解析安装配置失败！[error:bad pkgSha256: xyz]"},
      {"signed demands unmet", "[common]\ninstallName=G\n", true, "验证安装配置失败！[error:no configSerial]"},
      {"signed demands before names", "[common]\ninstallName=..\n", true,
       "验证安装配置失败！[error:no configSerial]"},
      {"signed demands ignored without a key", "[common]\ninstallName=G\n", false, ""},
      {"package URL without checksum", signedOk + "pkgUrl=http://p/x.zip\n", true,
       "验证安装配置失败！[error:pkgUrl has no pkgSha256]"},
      {"bad name", "[common]\nweiduanShell=..\\..\\x.exe\n", false,
       "解析安装配置失败！[error:bad weiduanShell: ..\\..\\x.exe]"},
      {"bad name in a signed text", signedOk + "pkgName=../pkg\n", true,
       "解析安装配置失败！[error:bad pkgName: ../pkg]"},
      {"signed text passes", signedOk, true, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ParseInstallConfig(row.text, "pc", row.demandSigned).error, row.error);
  }
}

TEST(ParseInstallConfig, ASignedTextNamesItsSerialAndPackageVersion) {
  InstallConfigParse parse =
      ParseInstallConfig("[common]\ninstallName=G\nconfigSerial=5\n[pc]\npkgVersion=42\n", "pc", true);
  ASSERT_EQ(parse.error, "");
  EXPECT_EQ(parse.signedValues.configSerial, 5u);
  EXPECT_EQ(parse.signedValues.pkgVersion, 42);
  EXPECT_EQ(parse.config.pkgVersion, "42");
}

TEST(TakePublishedValues, TakesEveryPublishedValueAndKeepsTheLaunchIdentity) {
  InstallConfig published = Parse(
      "[common]\ninstallName=G\npkgName=p\ntokensvr=http://t/\nweiduanShortcut=1\n"
      "launcherLogoSha256=" + kSum + "\npkgManifestSha256=" + kSum + "\npkgKeepLocal=config/*\n");
  published.pkgVersion = "9";
  published.platform = L"published-platform";  // never set by a text, never taken
  InstallConfig config;
  config.platform = L"pc";
  config.token = L"tok";
  config.userInfo = L"uid=1";
  config.modulePath = L"C:\\x\\pc_tok.exe";
  config.cfgUrl = "http://cfg/";
  config.installDir = L"C:\\games\\";
  config.qosUrl = "http://stale/";  // a published key the text leaves unset is unset after
  TakePublishedValues(published, config);
  EXPECT_EQ(config.installName, L"G");
  EXPECT_EQ(config.pkgName, L"p");
  EXPECT_EQ(config.tokensvr, "http://t/");
  EXPECT_TRUE(config.weiduanShortcut);
  EXPECT_EQ(config.launcherLogoSha256, kSum);
  EXPECT_EQ(config.pkgManifestSha256, kSum);
  EXPECT_EQ(config.pkgKeepLocal, std::vector<std::string>{"config/*"});
  EXPECT_EQ(config.pkgVersion, "9");
  EXPECT_EQ(config.qosUrl, "");
  EXPECT_EQ(config.platform, L"pc");
  EXPECT_EQ(config.token, L"tok");
  EXPECT_EQ(config.userInfo, L"uid=1");
  EXPECT_EQ(config.modulePath, L"C:\\x\\pc_tok.exe");
  EXPECT_EQ(config.cfgUrl, "http://cfg/");
  EXPECT_EQ(config.installDir, L"C:\\games\\");
}

TEST(ConfigNames, NamesPastedIntoPathsMustBeOnePlainFileName) {
  // weiduanShell=..\..\Users\Public\x.exe used to write and start a program
  // outside the install folder.
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"weiduanShell", "..\\..\\Users\\Public\\x.exe"}, {"pkgName", "../pkg"},
      {"weiduanCfg", "C:\\cfg.ini"},                       {"weiduanName", "sub\\Game"},
      {"installName", ".."},                                {"weiduanShell", "NUL.exe"},
      {"pkgName", "game."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(ParseInstallConfig(std::string("[common]\n") + c.key + "=" + c.value + "\n", "pc").error,
              std::string("解析安装配置失败！[error:bad ") + c.key + ": " + c.value + "]");
  }
}

TEST(ConfigNames, PlainAndUnsetNamesPass) {
  InstallConfig config = Parse(
      "[common]\ninstallName=VornGame\npkgName=game\nweiduanShell=wd.exe\n"
      "weiduanCfg=wd.cfg\nweiduanName=\xE6\xB8\xB8\xE6\x88\x8F\n");
  EXPECT_EQ(BadConfigName(config), "");
  EXPECT_EQ(BadConfigName(InstallConfig()), "");
}

TEST(ParseInstallConfig, ManifestUrlAndKeepLocalPatternsMergeLikeTheOtherKeys) {
  struct Row {
    const char* text;
    const char* manifestUrl;
    std::vector<std::string> keepLocal;
  };
  const Row rows[] = {
      {"[common]\npkgManifestUrl=http://m/%d.manifest\npkgKeepLocal=config/*,saves\\*.sav,,\n",
       "http://m/%d.manifest", {"config/*", "saves/*.sav"}},
      // In the file a value ends at ';' or a blank: what follows is a comment.
      {"[common]\npkgKeepLocal=config/*;saves/*\n", "", {"config/*"}},
      // The platform's value replaces the whole list; an empty one keeps common's.
      {"[common]\npkgKeepLocal=a/*;b/*\n[pc]\npkgKeepLocal=c.ini\n", "", {"c.ini"}},
      {"[common]\npkgKeepLocal=a/*\n[pc]\npkgKeepLocal=\npkgManifestUrl=http://pc/%d\n", "http://pc/%d", {"a/*"}},
      {"[common]\npkgKeepLocal=,\n", "", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    InstallConfig c = Parse(row.text);
    EXPECT_EQ(c.pkgManifestUrl, row.manifestUrl);
    EXPECT_EQ(c.pkgKeepLocal, row.keepLocal);
  }
}
