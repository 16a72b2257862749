// What the uninstaller's second stage agrees to remove, grouped by the way
// it could be pointed at something that is not an installation.
#include "install/uninstall_guard.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/text.h"
#include "install/registration.h"
#include "install/uninstall.h"

namespace {

std::wstring TempRoot() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return FullFolderPath(std::wstring(temp) + L"vorn-guard-unit");
}

// An installation as registration leaves it: folder `name` with Uninstall.ini.
std::wstring MakeInstall(const std::wstring& parent, const std::wstring& name) {
  std::wstring dir = TempRoot() + L"\\" + parent + L"\\" + name;
  RemoveDirectoryTree(dir);
  EXPECT_EQ(base::CreateDirectoryTree(dir + L"\\bin"), 0u);
  EXPECT_TRUE(base::WriteWholeFile(dir + L"\\Uninstall.ini", "[uninstall]\r\n"));
  EXPECT_TRUE(base::WriteWholeFile(dir + L"\\bin\\game.exe", "MZ"));
  return dir;
}

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buffer))) return std::wstring();
  return buffer;
}

}  // namespace

TEST(UninstallPathText, DotsPrefixesAndSeparatorsAreResolvedFirst) {
  EXPECT_EQ(FullFolderPath(L"D:\\."), L"D:\\");
  EXPECT_EQ(FullFolderPath(L"D:\\x\\.."), L"D:\\");
  EXPECT_EQ(FullFolderPath(L"D:/games/vorn/"), L"D:\\games\\vorn");
  EXPECT_EQ(FullFolderPath(L"\\\\?\\D:\\games\\vorn\\..\\.."), L"D:\\");
  EXPECT_EQ(FullFolderPath(L"\\\\?\\UNC\\srv\\share\\vorn"), L"\\\\srv\\share\\vorn");
  EXPECT_EQ(FullFolderPath(L"\"D:\\My Games\\vorn\""), L"D:\\My Games\\vorn");
  // Device namespaces never name an install folder.
  for (const wchar_t* device : {L"\\\\.\\C:\\", L"\\\\.\\PhysicalDrive0", L"\\\\?\\Volume{1234}\\",
                                L"\\\\?\\GLOBALROOT\\Device\\x", L"\\??\\C:\\x", L""}) {
    SCOPED_TRACE(base::Utf8(device));
    EXPECT_EQ(FullFolderPath(device), L"");
  }
  EXPECT_EQ(ExtendedLengthPath(L"D:\\a"), L"\\\\?\\D:\\a");
  EXPECT_EQ(ExtendedLengthPath(L"\\\\srv\\share\\a"), L"\\\\?\\UNC\\srv\\share\\a");
}

TEST(UninstallFolder, OnlyAFolderNamedAfterTheInstallationWithItsIniIsRemoved) {
  std::wstring dir = MakeInstall(L"ok", L"VornGuard");
  EXPECT_EQ(InstallFolderRefusal(dir, L"VornGuard"), "");
  EXPECT_EQ(InstallFolderRefusal(dir, L"vornguard"), "");  // letter case is the system's business
  // A sibling full of the user's files, and one that merely has the name.
  std::wstring sibling = TempRoot() + L"\\ok\\Photos";
  ASSERT_EQ(base::CreateDirectoryTree(sibling), 0u);
  ASSERT_TRUE(base::WriteWholeFile(sibling + L"\\Uninstall.ini", "[uninstall]\r\n"));
  EXPECT_EQ(InstallFolderRefusal(sibling, L"VornGuard"), "its name is not installName VornGuard");
  DeleteFileW((dir + L"\\Uninstall.ini").c_str());
  EXPECT_EQ(InstallFolderRefusal(dir, L"VornGuard"), "holds no Uninstall.ini");
  EXPECT_EQ(InstallFolderRefusal(dir, L"..\\VornGuard"), "installName is not a folder name");
  EXPECT_EQ(InstallFolderRefusal(dir + L"\\bin\\game.exe", L"game.exe"), "not a folder");
  EXPECT_EQ(InstallFolderRefusal(dir + L"\\absent", L"absent"), "no such folder");
  EXPECT_EQ(InstallFolderRefusal(L"", L"x"), "not a folder path");
}

TEST(UninstallFolder, RootsAndTheUsersAndSystemsFoldersAreNeverRemoved) {
  EXPECT_EQ(InstallFolderRefusal(FullFolderPath(L"C:\\."), L"C"), "a drive or share root");
  EXPECT_EQ(InstallFolderRefusal(L"\\\\srv\\share", L"share"), "a drive or share root");
  for (int csidl : {CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_WINDOWS, CSIDL_PROGRAM_FILES}) {
    std::wstring folder = FullFolderPath(ShellFolder(csidl));
    ASSERT_FALSE(folder.empty());
    SCOPED_TRACE(base::Utf8(folder));
    std::wstring name = folder.substr(folder.rfind(L'\\') + 1);
    // Even named like the installation: the folder itself, or one holding it.
    EXPECT_EQ(InstallFolderRefusal(folder, name).compare(0, 22, "holds the system folde"), 0)
        << InstallFolderRefusal(folder, name);
    std::wstring parent = folder.substr(0, folder.rfind(L'\\'));
    if (parent.size() > 3) {
      EXPECT_NE(InstallFolderRefusal(parent, parent.substr(parent.rfind(L'\\') + 1)), "");
    }
  }
  // Below the application-data folder is where installations live.
  std::wstring appData = FullFolderPath(ShellFolder(CSIDL_APPDATA));
  std::wstring inside = appData + L"\\VornGuardApp";
  ASSERT_EQ(base::CreateDirectoryTree(inside), 0u);
  ASSERT_TRUE(base::WriteWholeFile(inside + L"\\Uninstall.ini", "[uninstall]\r\n"));
  EXPECT_EQ(InstallFolderRefusal(inside, L"VornGuardApp"), "");
  EXPECT_EQ(RemoveDirectoryTree(inside), 0u);
}

TEST(UninstallFolder, ALinkInPlaceOfTheFolderIsNotFollowed) {
  std::wstring target = MakeInstall(L"link", L"UserData");
  std::wstring link = TempRoot() + L"\\link\\VornGuard";
  RemoveDirectoryW(link.c_str());
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !base::IsReparsePoint(link))
    GTEST_SKIP() << "no folder links on this system";
  EXPECT_EQ(InstallFolderRefusal(link, L"VornGuard"), "a junction or link");
  EXPECT_EQ(RemoveDirectoryTree(link), static_cast<unsigned long>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(base::PathExists(target + L"\\bin\\game.exe"));
  // Below the top a link is removed, never entered.
  std::wstring outer = MakeInstall(L"link", L"Outer");
  std::wstring inner = outer + L"\\data";
  ASSERT_TRUE(CreateSymbolicLinkW(inner.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
  EXPECT_EQ(RemoveDirectoryTree(outer), 0u);
  EXPECT_FALSE(base::PathExists(outer));
  EXPECT_TRUE(base::PathExists(target + L"\\bin\\game.exe"));
  RemoveDirectoryW(link.c_str());
}

TEST(UninstallFolder, PathsDeeperThanMaxPathAreRemovedToo) {
  std::wstring dir = MakeInstall(L"deep", L"VornDeep");
  std::wstring deep = dir;
  // Made one level at a time through "\\?\", as the unpacker makes them.
  while (deep.size() < 400) {
    deep += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(CreateDirectoryW(ExtendedLengthPath(deep).c_str(), nullptr)) << GetLastError();
  }
  ASSERT_TRUE(base::WriteWholeFile(ExtendedLengthPath(deep + L"\\leaf.bin"), "x"));
  EXPECT_EQ(RemoveDirectoryTree(dir), 0u);
  EXPECT_FALSE(base::PathExists(dir));
}

TEST(UninstallShortcut, OnlyAShortcutOnTheDesktopIsDeleted) {
  std::wstring desktop = DesktopFolder();
  ASSERT_FALSE(desktop.empty());
  EXPECT_EQ(DesktopLinkRefusal(desktop + L"\\Vorn Game.lnk"), "");
  EXPECT_EQ(DesktopLinkRefusal(desktop + L"\\VORN.LNK"), "");
  EXPECT_EQ(DesktopLinkRefusal(L""), "no shortcut was made");
  EXPECT_EQ(DesktopLinkRefusal(desktop + L"\\notes.txt"), "not a shortcut");
  EXPECT_EQ(DesktopLinkRefusal(desktop + L"\\.lnk"), "not a shortcut");
  EXPECT_EQ(DesktopLinkRefusal(desktop + L"\\sub\\x.lnk"), "not in the desktop folder");
  EXPECT_EQ(DesktopLinkRefusal(desktop + L"\\..\\x.lnk"), "not in the desktop folder");
  EXPECT_EQ(DesktopLinkRefusal(FullFolderPath(ShellFolder(CSIDL_PROFILE)) + L"\\x.lnk"),
            "not in the desktop folder");
}

TEST(UninstallEntry, OnlyAnEntryOfTheUninstallListIsDeleted) {
  EXPECT_EQ(UninstallKeyRefusal(kUninstallRegPath, L"VornGame"), "");
  EXPECT_EQ(UninstallKeyRefusal(L"software\\microsoft\\windows\\currentversion\\uninstall", L"g"), "");
  EXPECT_EQ(UninstallKeyRefusal(L"Software", L"Microsoft"), "not the uninstall list key");
  EXPECT_EQ(UninstallKeyRefusal(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"x"),
            "not the uninstall list key");
  EXPECT_EQ(UninstallKeyRefusal(kUninstallRegPath, L"..\\..\\Run"), "installName is not one key name");
  EXPECT_EQ(UninstallKeyRefusal(kUninstallRegPath, L""), "installName is not one key name");
}

TEST(UninstallFirstStage, AnUnquotedPathWithBlanksIsRecognised) {
  const std::wstring self = L"C:\\My Games\\Vorn Game\\Uninstall.exe";
  EXPECT_TRUE(IsRestOfOwnPath(self, L"Games\\Vorn Game\\Uninstall.exe"));
  EXPECT_TRUE(IsRestOfOwnPath(self, L"Game\\Uninstall.exe "));
  EXPECT_FALSE(IsRestOfOwnPath(self, L"ames\\Vorn Game\\Uninstall.exe"));
  EXPECT_FALSE(IsRestOfOwnPath(self, L"C:\\My Games\\Vorn Game"));
  EXPECT_FALSE(IsRestOfOwnPath(self, L""));
  EXPECT_FALSE(IsRestOfOwnPath(self, self));
  EXPECT_FALSE(IsRestOfOwnPath(L"C:\\Games\\Uninstall.exe", L"Uninstall.exe"));
}
