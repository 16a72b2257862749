#include "app/launch_name.h"

#include <gtest/gtest.h>

#include <regex>

TEST(LauncherName, ThreeWordsGivePlatformAndToken) {
  LauncherName n = ParseLauncherName(L"vorn-pc-abc123");
  EXPECT_EQ(n.namePrefix, L"vorn");
  EXPECT_EQ(n.platform, L"pc");
  EXPECT_EQ(n.token, L"abc123");
}

TEST(LauncherName, TwoWordsGivePlatformOnly) {
  LauncherName n = ParseLauncherName(L"vorn-pc");
  EXPECT_EQ(n.namePrefix, L"vorn");
  EXPECT_EQ(n.platform, L"pc");
  EXPECT_EQ(n.token, L"");
}

TEST(LauncherName, RunCopyKeepsTheToken) {
  // The ".run" of a web-launch copy is absorbed by the trailing ".*".
  LauncherName n = ParseLauncherName(L"vorn-pc-tok.run");
  EXPECT_EQ(n.platform, L"pc");
  EXPECT_EQ(n.token, L"tok");
}

TEST(LauncherName, NamesWithoutDashAreRefused) {
  EXPECT_TRUE(ParseLauncherName(L"vorn").namePrefix.empty());
  EXPECT_TRUE(ParseLauncherName(L"setup").namePrefix.empty());
  EXPECT_TRUE(ParseLauncherName(L"uninstall").namePrefix.empty());
  EXPECT_TRUE(ParseLauncherName(L"-pc-x").namePrefix.empty());
}

TEST(LauncherName, ReadsAsTheNamePatternsDo) {
  // The patterns the name is read by, as the oracle: the first that matches
  // gives the parts. Rows cover where a word run ends, empty words, a fourth
  // word, and letters outside ASCII, whose class the locale decides.
  const std::wregex three(L"^(\\w+)-(\\w+)-(\\w+).*");
  const std::wregex two(L"^(\\w+)-(\\w+).*");
  const wchar_t* stems[] = {
      L"vorn-pc-abc123", L"vorn-pc", L"vorn-pc-", L"vorn--tok", L"vorn-pc--x", L"a-b-c-d",
      L"vorn-pc-tok.run", L"vorn-pc.run", L"vorn_x-p_c-t_k", L"vorn-pc-tok (1)", L"vorn pc-x",
      L"vorn.pc-x-y", L"-pc-x", L"vorn-", L"-", L"", L"vorn-\u00e9t\u00e9-tok",
      L"\u6e38\u620f-pc-\u4ee4\u724c", L"vorn-pc-\u0442\u043e\u043a\u0435\u043d", L"vorn-pc-1\u00b2",
      L"vorn-pc-t\u200bk", L"vorn-\uff50\uff43-x"};
  for (const wchar_t* stem : stems) {
    SCOPED_TRACE(testing::Message() << "stem " << stem);
    LauncherName want;
    std::wsmatch m;
    const std::wstring text(stem);
    if (std::regex_search(text, m, three)) {
      want = {m[1], m[2], m[3]};
    } else if (std::regex_search(text, m, two)) {
      want = {m[1], m[2], L""};
    }
    LauncherName got = ParseLauncherName(text);
    EXPECT_EQ(got.namePrefix, want.namePrefix);
    EXPECT_EQ(got.platform, want.platform);
    EXPECT_EQ(got.token, want.token);
  }
}

TEST(LaunchMode, UninstallIsCaseSensitiveOnTheFileName) {
  EXPECT_TRUE(IsUninstallLauncher(L"C:\\g\\Uninstall.exe"));
  EXPECT_TRUE(IsUninstallLauncher(L"C:\\g\\vorn-Uninstall.exe"));
  EXPECT_FALSE(IsUninstallLauncher(L"C:\\g\\uninstall.exe"));
  EXPECT_FALSE(IsUninstallLauncher(L"C:\\Uninstall.exe\\vorn-pc.exe"));
}

TEST(LaunchMode, WebLaunchOnlyFromTheOriginalExecutable) {
  EXPECT_EQ(ChooseLaunchMode(L"vorn://x?uid=1/", L"D:\\dl\\vorn-pc.exe"), LaunchMode::WebLaunchCopy);
  EXPECT_EQ(ChooseLaunchMode(L"vorn://x?uid=1/", L"D:\\dl\\vorn-pc.run.exe"), LaunchMode::Normal);
  EXPECT_EQ(ChooseLaunchMode(L"", L"D:\\dl\\Uninstall.exe"), LaunchMode::Uninstall);
  EXPECT_EQ(ChooseLaunchMode(L"vorn://x", L"D:\\dl\\Uninstall.exe"), LaunchMode::WebLaunchCopy);
  EXPECT_EQ(ChooseLaunchMode(L"", L"D:\\dl\\vorn-pc.exe"), LaunchMode::Normal);
}

TEST(WebLaunch, CopyPathUsesTheStem) {
  EXPECT_EQ(WebLaunchCopyPath(L"D:\\dl\\vorn-web-x.exe"), L"D:\\dl\\vorn-web-x.run.exe");
}

TEST(WebLaunch, UserInfoDropsTheLastCharacter) {
  EXPECT_EQ(WebLaunchUserInfo(L"vorn://launch/?uid=1/"), L"uid=1");
  EXPECT_EQ(WebLaunchUserInfo(L"vorn://launch/?uid=1&skey=a=b/"), L"uid=1&skey=a=b");
  // Without "?" the whole line but its last character.
  EXPECT_EQ(WebLaunchUserInfo(L"vorn://abc/"), L"vorn://abc");
  EXPECT_EQ(WebLaunchUserInfo(L"vorn://x?"), L"");
  EXPECT_EQ(WebLaunchUserInfo(L""), L"");
}

TEST(RepairFlag, OnlyTheWholeWordOutsideAWebLaunch) {
  struct Row {
    const wchar_t* commandLine;
    bool repair;
  };
  const Row rows[] = {
      {L"--repair", true},
      {L"  --repair  ", true},
      {L"\t--repair", true},
      {L"-x --repair -y", true},
      {L"", false},
      {L"--repairs", false},
      {L"x--repair", false},
      {L"--REPAIR", false},
      {L"\"--repair\"", false},
      // A web page's URL carries whatever the page likes.
      {L"vorn://play/?uid=1&--repair/", false},
      {L"--repair vorn://play/?uid=1/", false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(RepairRequested(rows[i].commandLine), rows[i].repair) << "row " << i;
}

