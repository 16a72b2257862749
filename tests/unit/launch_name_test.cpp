#include "app/launch_name.h"

#include <gtest/gtest.h>

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
