#include "install/uninstall_ini.h"

#include <gtest/gtest.h>

TEST(UninstallIni, FormatIsFourCrLfLinesWithoutBlanks) {
  UninstallIni ini{"C:\\Users\\p\\Desktop\\Game.lnk", "game",
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
  EXPECT_EQ(FormatUninstallIni(ini),
            "[uninstall]\r\n"
            "desktopLink=C:\\Users\\p\\Desktop\\Game.lnk\r\n"
            "installName=game\r\n"
            "regPath=Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n");
}

TEST(UninstallIni, EmptyLinkKeepsItsLine) {
  EXPECT_EQ(FormatUninstallIni({"", "g", "r"}), "[uninstall]\r\ndesktopLink=\r\ninstallName=g\r\nregPath=r\r\n");
}

TEST(UninstallIni, ReadsBackWhatWasWrittenIncludingUtf8) {
  UninstallIni in{"D:\\桌面\\游 戏.lnk", "游戏=1", "Software\\x"};
  UninstallIni out = ParseUninstallIni(FormatUninstallIni(in));
  EXPECT_EQ(out.desktopLink, in.desktopLink);
  EXPECT_EQ(out.installName, in.installName);  // only the first "=" separates
  EXPECT_EQ(out.regPath, in.regPath);
}

TEST(UninstallIni, MissingKeysAndOtherSectionsReadEmpty) {
  UninstallIni ini = ParseUninstallIni(
      "installName=outside\r\n"
      "[other]\r\nregPath=wrong\r\n"
      "[uninstall]\r\ninstallName=game\r\n");
  EXPECT_EQ(ini.installName, "game");
  EXPECT_EQ(ini.regPath, "");
  EXPECT_EQ(ini.desktopLink, "");
  EXPECT_EQ(ParseUninstallIni("").installName, "");
  EXPECT_EQ(ParseUninstallIni("[uninstall").installName, "");
}

TEST(UninstallIni, NamesIgnoreCaseAndFirstKeyWins) {
  UninstallIni ini = ParseUninstallIni(
      "\xEF\xBB\xBF[ UNINSTALL ]\n"
      "  InstallName =first\n"
      "installname=second\n"
      "; regPath=commented\n"
      "REGPATH=r\n"
      "[Uninstall]\n"
      "desktoplink=l");
  EXPECT_EQ(ini.installName, "first");
  EXPECT_EQ(ini.regPath, "r");
  EXPECT_EQ(ini.desktopLink, "l");  // a second block of the section still counts; no final newline
}

TEST(UninstallIni, ValuesKeepTheirBlanks) {
  UninstallIni ini = ParseUninstallIni("[uninstall]\r\ninstallName= my game \r\n");
  EXPECT_EQ(ini.installName, " my game ");
}
