// Registration of a micro-client installation, read back the way the system
// and the uninstaller read it: the shell link, the registry, Uninstall.ini.
#include "install/registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "install/uninstall.h"
#include "install/install_config.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/remove_tree.h"
#include "support/scratch_folder.h"

namespace {

const std::wstring kEntryPath = std::wstring(kUninstallRegPath) + L"\\";

struct LinkInfo {
  bool loaded = false;
  std::wstring target, arguments, workingDir;
};

LinkInfo ReadLink(const std::wstring& path) {
  LinkInfo info;
  base::ComScope com;
  base::ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.PutVoid())))
    return info;
  base::ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) ||
      FAILED(file->Load(path.c_str(), STGM_READ)))
    return info;
  wchar_t buffer[1024] = {};
  link->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH);
  info.target = buffer;
  buffer[0] = 0;
  link->GetArguments(buffer, 1024);
  info.arguments = buffer;
  buffer[0] = 0;
  link->GetWorkingDirectory(buffer, 1024);
  info.workingDir = buffer;
  info.loaded = true;
  return info;
}

support::RegistryValue ReadValue(const std::wstring& keyPath, const wchar_t* name) {
  return support::ReadRegistryValue(HKEY_CURRENT_USER, keyPath, name);
}

DWORD ValueCount(const std::wstring& keyPath) { return support::ValueCount(HKEY_CURRENT_USER, keyPath); }

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch = support::ScratchDir(L"registration");
    ASSERT_EQ(base::CreateDirectoryTree(scratch + L"\\install dir"), 0u);
    launcher = scratch + L"\\vorn-360-tok.exe";
    ASSERT_TRUE(base::WriteWholeFile(launcher, "MZ pretend launcher"));
    config.installName = L"VornRegUnitGame";
    config.weiduanName = L"Vorn Reg Unit Shell";
    config.weiduanVer = L"1.2.3";
    config.weiduanShell = L"wd.exe";
    config.platform = L"360";
    config.modulePath = launcher;
    config.installDir = scratch + L"\\install dir\\";
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_CURRENT_USER, (kEntryPath + config.installName).c_str());
    DeleteFileW(LinkPath().c_str());
    support::RemoveTree(scratch);
  }
  std::wstring LinkPath() const { return DesktopFolder() + L"\\" + config.weiduanName + L".lnk"; }
  std::string IniBytes() const { return support::ReadFileBytes(config.installDir + L"Uninstall.ini"); }

  std::wstring scratch, launcher;
  InstallConfig config;
};

}  // namespace

TEST_F(Registration, LinkPointsAtTheShellWithThePlatformWord) {
  config.RegisterInstallation();
  ASSERT_FALSE(DesktopFolder().empty());
  LinkInfo link = ReadLink(LinkPath());
  ASSERT_TRUE(link.loaded);
  EXPECT_EQ(link.target, config.installDir + L"wd.exe");
  EXPECT_EQ(link.arguments, L"360");
  EXPECT_EQ(link.workingDir, scratch + L"\\install dir");
}

TEST_F(Registration, FiveValuesOfTheEntry) {
  config.RegisterInstallation();
  std::wstring key = kEntryPath + config.installName;
  struct Expected {
    const wchar_t* name;
    std::wstring data;
  } expected[] = {
      {L"DisplayIcon", config.installDir + L"wd.exe 360"},
      {L"DisplayName", L"Vorn Reg Unit Shell"},
      {L"DisplayVersion", L"1.2.3"},
      {L"Publisher", L"Tarnfeld"},
      // Quoted: the install folder may hold blanks.
      {L"UninstallString", L"\"" + config.installDir + L"Uninstall.exe\""},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(base::Utf8(e.name));
    support::RegistryValue v = ReadValue(key, e.name);
    ASSERT_TRUE(v.found);
    EXPECT_EQ(v.type, static_cast<DWORD>(REG_SZ));
    EXPECT_LE(v.data.size(), (e.data.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(v.Text(), e.data);
  }
  EXPECT_EQ(ValueCount(key), 5u);
}

TEST_F(Registration, UninstallerIsACopyOfTheRunningLauncher) {
  config.RegisterInstallation();
  std::string copy;
  ASSERT_TRUE(base::ReadWholeFile(config.installDir + L"Uninstall.exe", copy));
  EXPECT_EQ(copy, "MZ pretend launcher");
}

TEST_F(Registration, UninstallIniHoldsLinkNameAndParentKey) {
  config.RegisterInstallation();
  EXPECT_EQ(IniBytes(), "[uninstall]\r\n"
                        "desktopLink=" + base::Utf8(LinkPath()) + "\r\n"
                        "installName=VornRegUnitGame\r\n"
                        "regPath=Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n");
  // The uninstaller reads back exactly what was registered.
  UninstallSettings s;
  ASSERT_TRUE(ReadCfg(config.installDir, s));
  EXPECT_EQ(s.desktopLink, LinkPath());
  EXPECT_EQ(s.installName, config.installName);
  EXPECT_EQ(s.regPath, kUninstallRegPath);
}

TEST_F(Registration, NonAsciiNamesAreUtf8InTheIniAndWideEverywhereElse) {
  config.installName = L"微端游戏";
  config.weiduanName = L"微端 Vorn";
  config.RegisterInstallation();
  EXPECT_EQ(IniBytes(), "[uninstall]\r\n"
                        "desktopLink=" + base::Utf8(DesktopFolder()) + "\\\xE5\xBE\xAE\xE7\xAB\xAF Vorn.lnk\r\n"
                        "installName=\xE5\xBE\xAE\xE7\xAB\xAF\xE6\xB8\xB8\xE6\x88\x8F\r\n"
                        "regPath=Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n");
  EXPECT_TRUE(ReadLink(LinkPath()).loaded);
  EXPECT_EQ(ReadValue(kEntryPath + L"微端游戏", L"DisplayName").Text(), L"微端 Vorn");
}

TEST_F(Registration, SecondRegistrationReplacesEverything) {
  config.RegisterInstallation();
  config.weiduanVer = L"2.0";
  config.platform = L"pc";
  ASSERT_TRUE(base::WriteWholeFile(launcher, "MZ newer launcher"));
  config.RegisterInstallation();

  LinkInfo link = ReadLink(LinkPath());
  ASSERT_TRUE(link.loaded);
  EXPECT_EQ(link.arguments, L"pc");
  std::wstring key = kEntryPath + config.installName;
  EXPECT_EQ(ValueCount(key), 5u);
  EXPECT_EQ(ReadValue(key, L"DisplayVersion").Text(), L"2.0");
  EXPECT_EQ(ReadValue(key, L"DisplayIcon").Text(), config.installDir + L"wd.exe pc");
  EXPECT_EQ(support::ReadFileBytes(config.installDir + L"Uninstall.exe"), "MZ newer launcher");
  // Rewritten, not appended to.
  EXPECT_EQ(IniBytes(), "[uninstall]\r\n"
                        "desktopLink=" + base::Utf8(LinkPath()) + "\r\n"
                        "installName=VornRegUnitGame\r\n"
                        "regPath=Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n");

  // One link on the desktop carries the name.
  EXPECT_EQ(support::FileNames(DesktopFolder() + L"\\Vorn Reg Unit Shell*").size(), 1u);
}

TEST_F(Registration, WithoutAnInstallNameTheSharedListIsLeftAlone) {
  config.installName.clear();
  DWORD before = ValueCount(kUninstallRegPath);
  config.RegisterInstallation();
  EXPECT_EQ(ValueCount(kUninstallRegPath), before);
  UninstallSettings s;
  EXPECT_FALSE(ReadCfg(config.installDir, s));  // nothing for the uninstaller to act on
}

TEST(WriteRegistryValue, CreatesAMissingParentAndWritesEmptyData) {
  const wchar_t* root = L"Software\\VornRegUnitTest";
  RegDeleteTreeW(HKEY_CURRENT_USER, root);
  std::wstring parent = std::wstring(root) + L"\\Uninstall";
  EXPECT_TRUE(WriteRegistryValue(parent, L"Empty", L"", L"entry"));
  EXPECT_TRUE(WriteRegistryValue(parent, L"Name", L"名字", L"entry"));
  support::RegistryValue empty = ReadValue(parent + L"\\entry", L"Empty");
  EXPECT_TRUE(empty.found);
  EXPECT_EQ(empty.data.size(), 0u);
  EXPECT_EQ(ReadValue(parent + L"\\entry", L"Name").Text(), L"名字");
  RegDeleteTreeW(HKEY_CURRENT_USER, root);
}

TEST(LinkWorkingDirectory, IsTheTargetsFolderOrTheWholePath) {
  EXPECT_EQ(LinkWorkingDirectory(L"D:\\game\\wd.exe"), L"D:\\game");
  EXPECT_EQ(LinkWorkingDirectory(L"D:/game/bin/wd.exe"), L"D:/game/bin");
  EXPECT_EQ(LinkWorkingDirectory(L"wd.exe"), L"wd.exe");
}
