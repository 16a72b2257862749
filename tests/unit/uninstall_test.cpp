// The uninstaller's pieces that run inside one process: reading its settings,
// the registry key, the folder removal.
#include "install/uninstall.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "support/registry.h"
#include "support/scratch_folder.h"

namespace {

constexpr wchar_t kTestRoot[] = L"Software\\VornRegUnitTest";

bool KeyExists(const std::wstring& path) { return support::KeyExists(HKEY_CURRENT_USER, path); }

}  // namespace

TEST(ReadCfg, DecodesUtf8ValuesFromANonAsciiFolder) {
  std::wstring dir = support::ScratchDir(L"读取 cfg");
  ASSERT_TRUE(base::WriteWholeFile(dir + L"\\Uninstall.ini",
                                   "[uninstall]\r\n"
                                   "desktopLink=C:\\桌面\\游戏.lnk\r\n"
                                   "installName=游戏\r\n"
                                   "regPath=Software\\x\r\n"));
  UninstallSettings s;
  ASSERT_TRUE(ReadCfg(dir, s));
  EXPECT_EQ(s.desktopLink, L"C:\\桌面\\游戏.lnk");
  EXPECT_EQ(s.installName, L"游戏");
  EXPECT_EQ(s.regPath, L"Software\\x");
  // A trailing separator on the folder makes no difference.
  UninstallSettings again;
  EXPECT_TRUE(ReadCfg(dir + L"\\", again));
  EXPECT_EQ(again.installName, L"游戏");
}

TEST(ReadCfg, FailsWithoutTheFileOrItsNameOrRegistryPath) {
  std::wstring dir = support::ScratchDir(L"cfg missing");
  UninstallSettings s;
  EXPECT_FALSE(ReadCfg(dir, s));
  // No shortcut could be made at install time: the rest is still removable.
  ASSERT_TRUE(base::WriteWholeFile(dir + L"\\Uninstall.ini",
                                   "[uninstall]\r\ndesktopLink=\r\ninstallName=g\r\nregPath=r\r\n"));
  EXPECT_TRUE(ReadCfg(dir, s));
  EXPECT_EQ(s.desktopLink, L"");
  const char* incomplete[] = {
      "[uninstall]\r\ndesktopLink=l\r\nregPath=r\r\n",
      "[uninstall]\r\ndesktopLink=l\r\ninstallName=g\r\n",
      "[other]\r\ndesktopLink=l\r\ninstallName=g\r\nregPath=r\r\n",
  };
  for (const char* text : incomplete) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(base::WriteWholeFile(dir + L"\\Uninstall.ini", text));
    EXPECT_FALSE(ReadCfg(dir, s));
  }
}

TEST(DeleteUninstallKey, RemovesOnlyTheNamedEntry) {
  std::wstring parent = std::wstring(kTestRoot) + L"\\Uninstall";
  base::UniqueKey a, b;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, (parent + L"\\游戏").c_str(), a.Put()), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, (parent + L"\\other").c_str(), b.Put()), ERROR_SUCCESS);
  a.Reset();
  b.Reset();
  DeleteUninstallKey({L"unused.lnk", L"游戏", parent});
  EXPECT_FALSE(KeyExists(parent + L"\\游戏"));
  EXPECT_TRUE(KeyExists(parent + L"\\other"));
  // Missing parent or entry: nothing happens, nothing breaks.
  DeleteUninstallKey({L"unused.lnk", L"游戏", parent});
  DeleteUninstallKey({L"unused.lnk", L"x", std::wstring(kTestRoot) + L"\\absent"});
  EXPECT_TRUE(KeyExists(parent + L"\\other"));
  RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
}

TEST(RemoveDirectoryTree, RemovesNestedFoldersAndReadOnlyFiles) {
  std::wstring dir = support::ScratchDir(L"remove all");
  ASSERT_EQ(base::CreateDirectoryTree(dir + L"\\a\\b c\\d"), 0u);
  ASSERT_TRUE(base::WriteWholeFile(dir + L"\\top.txt", "x"));
  ASSERT_TRUE(base::WriteWholeFile(dir + L"\\a\\b c\\d\\deep.bin", "y"));
  ASSERT_TRUE(base::WriteWholeFile(dir + L"\\a\\ro.txt", "z"));
  ASSERT_TRUE(SetFileAttributesW((dir + L"\\a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(RemoveDirectoryTree(dir + L"\\"), 0u);
  EXPECT_FALSE(base::PathExists(dir));
}

TEST(RemoveDirectoryTree, StopsAtAFileInUseAndReportsIt) {
  std::wstring dir = support::ScratchDir(L"remove held");
  ASSERT_EQ(base::CreateDirectoryTree(dir + L"\\bin"), 0u);
  std::wstring held = dir + L"\\bin\\game.exe";
  ASSERT_TRUE(base::WriteWholeFile(held, "running"));
  {
    base::UniqueFile file(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    EXPECT_EQ(RemoveDirectoryTree(dir), static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(base::PathExists(held));
    EXPECT_TRUE(base::DirectoryExists(dir));
  }
  EXPECT_EQ(RemoveDirectoryTree(dir), 0u);
}

TEST(RemoveDirectoryTree, MissingFolderOrAFileIsAnError) {
  std::wstring dir = support::ScratchDir(L"remove odd");
  EXPECT_NE(RemoveDirectoryTree(dir + L"\\absent"), 0u);
  ASSERT_TRUE(base::WriteWholeFile(dir + L"\\file", "f"));
  EXPECT_EQ(RemoveDirectoryTree(dir + L"\\file"), static_cast<unsigned long>(ERROR_DIRECTORY));
  EXPECT_TRUE(base::PathExists(dir + L"\\file"));
}

TEST(IsSameOrInsideFolder, IgnoresCaseAndTrailingSeparatorsButNotPrefixes) {
  EXPECT_TRUE(IsSameOrInsideFolder(L"C:\\Games\\Vorn", L"c:\\games\\vorn\\"));
  EXPECT_TRUE(IsSameOrInsideFolder(L"C:\\GAMES\\VORN\\bin", L"C:\\Games\\Vorn"));
  EXPECT_TRUE(IsSameOrInsideFolder(L"C:/Games/Vorn/", L"C:\\Games\\Vorn"));
  EXPECT_TRUE(IsSameOrInsideFolder(L"C:\\游戏\\Ä", L"c:\\游戏\\ä"));
  EXPECT_FALSE(IsSameOrInsideFolder(L"C:\\Games\\Vorn2", L"C:\\Games\\Vorn"));
  EXPECT_FALSE(IsSameOrInsideFolder(L"C:\\Games", L"C:\\Games\\Vorn"));
  EXPECT_FALSE(IsSameOrInsideFolder(L"C:\\Games", L""));
}

TEST(SecondStage, HasTheFixedTemporaryName) {
  EXPECT_EQ(SecondStageName(), L"tmp567pbq3cas9190aewdqw634_Uninstall.exe");
}
