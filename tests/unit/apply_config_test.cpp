#include "workflow/apply_config.h"

#include <gtest/gtest.h>

#include "workflow/ini_file.h"
#include "install/install_config.h"

namespace {

InstallConfig Apply(const std::string& text, const std::string& platform = "pc") {
  IniFile ini(text);
  EXPECT_EQ(ini.error, "");
  InstallConfig config;
  ApplyConfig(ini, platform, config);
  return config;
}

}  // namespace

TEST(ApplyConfig, CommonSectionFillsEveryKey) {
  InstallConfig c = Apply(
      "[common]\n"
      "installName=VornGame\nweiduanName=微端\nweiduanUrl=http://w/shell.exe\n"
      "weiduanCfgUrl=http://w/cfg.ini\ntokensvr=http://t/?token=\nminverUrl=http://m/ver\n"
      "pkgUrl=http://p/%s.zip\npkgName=vorn\nweiduanShell=shell.exe\nweiduanVer=1.2\n"
      "weiduanCfg=shell.ini\nweiduanShortcut=1\nweiduanNeedAdmin=1\nqosUrl=http://q/r\n"
      "launcherLogo=http://l/logo.png\n");
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
  // Fields that do not come from the configuration keep their values.
  EXPECT_EQ(c.platform, L"360");
  EXPECT_EQ(c.cfgUrl, InstallConfig().cfgUrl);
  EXPECT_EQ(c.installDir, L"");
}

TEST(ApplyConfig, PlatformSectionOverridesKeyByKey) {
  InstallConfig c = Apply(
      "[common]\ninstallName=Common\npkgName=cpkg\nqosUrl=http://common/q\n"
      "[pc]\ninstallName=PcName\nqosUrl=\n"
      "[other]\npkgName=otherpkg\n");
  EXPECT_EQ(c.installName, L"PcName");
  EXPECT_EQ(c.pkgName, L"cpkg") << "another platform's section is not read";
  EXPECT_EQ(c.qosUrl, "http://common/q") << "an empty value does not clear common";
}

TEST(ApplyConfig, FlagsAreTrueOnlyForExactlyOne) {
  for (const char* value : {"0", "true", "yes", "01", "1.0", "2"}) {
    InstallConfig c;
    c.weiduanShortcut = true;
    IniFile ini(std::string("[common]\nweiduanShortcut=") + value + "\n");
    ApplyConfig(ini, "pc", c);
    EXPECT_FALSE(c.weiduanShortcut) << value;
  }
  EXPECT_FALSE(Apply("[common]\ninstallName=x\n").weiduanShortcut);
  // The platform may switch the flag off again, but an empty value leaves it on.
  EXPECT_FALSE(Apply("[common]\nweiduanShortcut=1\n[pc]\nweiduanShortcut=0\n").weiduanShortcut);
  EXPECT_TRUE(Apply("[common]\nweiduanShortcut=1\n[pc]\nweiduanShortcut=\n").weiduanShortcut);
  EXPECT_TRUE(Apply("[pc]\nweiduanNeedAdmin=1\n").weiduanNeedAdmin);
}

TEST(ApplyConfig, MissingKeysLeaveEarlierValues) {
  InstallConfig c;
  c.installName = L"kept";
  c.tokensvr = "http://kept/";
  ApplyConfig(IniFile(""), "pc", c);
  EXPECT_EQ(c.installName, L"kept");
  EXPECT_EQ(c.tokensvr, "http://kept/");
}

TEST(ApplyConfig, PlatformSectionIsNamedInUtf8) {
  // The section grammar only allows ASCII names, so a non-ASCII platform reads "common" alone.
  InstallConfig c = Apply("[common]\ninstallName=C\n[pc_2]\ninstallName=P\n", "pc_2");
  EXPECT_EQ(c.installName, L"P");
  EXPECT_EQ(Apply("[common]\ninstallName=C\n", "平台").installName, L"C");
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
    InstallConfig config = Apply(std::string("[common]\n") + c.key + "=" + c.value + "\n");
    EXPECT_EQ(BadConfigName(config), std::string("bad ") + c.key + ": " + c.value);
  }
}

TEST(ConfigNames, PlainAndUnsetNamesPass) {
  InstallConfig config = Apply(
      "[common]\ninstallName=VornGame\npkgName=game\nweiduanShell=wd.exe\n"
      "weiduanCfg=wd.cfg\nweiduanName=\xE6\xB8\xB8\xE6\x88\x8F\n");
  EXPECT_EQ(BadConfigName(config), "");
  EXPECT_EQ(BadConfigName(InstallConfig()), "");
}

TEST(ApplyConfig, ManifestUrlAndKeepLocalPatternsMergeLikeTheOtherKeys) {
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
    InstallConfig c = Apply(row.text);
    EXPECT_EQ(c.pkgManifestUrl, row.manifestUrl);
    EXPECT_EQ(c.pkgKeepLocal, row.keepLocal);
  }
}
