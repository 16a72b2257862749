// The uninstaller as the player runs it: "Uninstall.exe" in the install
// folder hands over to a copy in the temporary folder, which removes the
// folder, the desktop shortcut and the uninstall entry.
#include <gtest/gtest.h>

#include <cwctype>

#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/launcher_harness.h"
#include "support/log_reader.h"
#include "support/registry.h"
#include "support/scratch_folder.h"

using support::LauncherRun;

namespace {

const std::wstring kSecondStage = L"tmp567pbq3cas9190aewdqw634_Uninstall.exe";
const std::wstring kRegPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kEntry = L"VornE2EUninstall";

std::wstring TempCopy() { return support::TempFolder() + kSecondStage; }

bool KeyExists() { return support::KeyExists(HKEY_CURRENT_USER, kRegPath + L"\\" + kEntry); }

// What a micro-client installation leaves behind, minus the real shell.
struct FakeInstall {
  std::wstring dir;   // the install folder, with a blank in its name
  std::wstring link;  // stands in for the desktop shortcut

  FakeInstall(const std::wstring& scratch, const char* linkLine = nullptr, bool withIni = true) {
    dir = support::ScratchDir(scratch + L"\\Vorn Game");
    link = support::ScratchDir(scratch + L" desktop") + L"\\Vorn Game.lnk";
    base::CreateDirectoryTree(dir + L"\\bin");
    base::CreateDirectoryTree(dir + L"\\data\\maps");
    base::WriteWholeFile(dir + L"\\bin\\game.exe", "MZ game");
    base::WriteWholeFile(dir + L"\\data\\maps\\a.map", std::string(5000, 'm'));
    base::WriteWholeFile(dir + L"\\weiduan.ver", "1.0");
    base::WriteWholeFile(link, "link");
    base::UniqueKey key;
    RegCreateKeyW(HKEY_CURRENT_USER, (kRegPath + L"\\" + kEntry).c_str(), key.Put());
    const wchar_t name[] = L"Vorn Game";
    RegSetValueExW(key.Get(), L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                   sizeof name - sizeof(wchar_t));
    if (!withIni) return;
    std::string linkText = linkLine ? linkLine : "desktopLink=" + base::Utf8(link);
    base::WriteWholeFile(dir + L"\\Uninstall.ini",
                         "[uninstall]\r\n" + linkText + "\r\ninstallName=" + base::Utf8(kEntry) +
                             "\r\nregPath=" + base::Utf8(kRegPath) + "\r\n");
  }
  ~FakeInstall() { RegDeleteKeyW(HKEY_CURRENT_USER, (kRegPath + L"\\" + kEntry).c_str()); }
  bool Untouched() const {
    return base::PathExists(dir + L"\\bin\\game.exe") && base::PathExists(dir + L"\\data\\maps\\a.map") &&
           base::PathExists(link) && KeyExists();
  }
};

// Starts the second stage directly, from a copy under its temporary name.
bool RunSecondStage(LauncherRun& run, const std::wstring& installDir, DWORD* code) {
  return run.Start(support::ScratchDir(L"uninstall second stage"), kSecondStage, installDir) &&
         run.WaitExit(30000, code);
}

std::string LastLogLine() { return support::LastMessage(support::ReadLog()); }

// Starts the second stage with a current folder of our choosing.
bool RunSecondStageIn(const std::wstring& currentDir, const std::wstring& installDir, DWORD* code) {
  std::wstring exe = support::ScratchDir(L"uninstall second stage") + L"\\" + kSecondStage;
  LauncherRun run;
  return CopyFileW(support::LauncherExe().c_str(), exe.c_str(), FALSE) &&
         run.StartExisting(exe, installDir, currentDir) && run.WaitExit(30000, code);
}

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override {
    support::KillProcessesNamed(kSecondStage);
    DeleteFileW(TempCopy().c_str());
  }
  void TearDown() override { support::KillProcessesNamed(kSecondStage); }
};

}  // namespace

TEST_F(Uninstall, TwoStagesRemoveFolderShortcutAndEntry) {
  FakeInstall install(L"uninstall flow");
  LauncherRun first;
  ASSERT_TRUE(first.Start(install.dir, L"Uninstall.exe"));
  DWORD code = 1;
  ASSERT_TRUE(first.WaitExit(20000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(base::PathExists(TempCopy()));

  // The second stage begins its own log; its settings line shows that the
  // folder arrived whole, blank included, as its command line.
  std::string iniLine = "ReadCfg::iniPath: " + base::Utf8(install.dir) + "\\Uninstall.ini\n";
  ASSERT_TRUE(support::WaitForLog(iniLine, 20000)) << support::ReadLog();
  ASSERT_TRUE(support::WaitNoProcessNamed(kSecondStage, 30000));

  EXPECT_FALSE(base::PathExists(install.dir));
  EXPECT_TRUE(base::DirectoryExists(install.dir.substr(0, install.dir.rfind(L'\\'))));
  EXPECT_FALSE(base::PathExists(install.link));
  EXPECT_FALSE(KeyExists());
  std::string log = support::ReadLog();
  EXPECT_NE(log.find("从temp拉起的uninstall，开始真正的删除操作"), std::string::npos) << log;
  EXPECT_NE(log.find("删除installpath result: " + base::ErrorText(0) + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("删除注册表: " + base::Utf8(kRegPath) + ", sub: " + base::Utf8(kEntry)),
            std::string::npos)
      << log;
}

TEST_F(Uninstall, MissingOrIncompleteIniRemovesNothing) {
  struct Case {
    const char* what;
    const char* linkLine;
    bool withIni;
  } cases[] = {
      {"no Uninstall.ini", nullptr, false},
      {"empty desktopLink", "desktopLink=", true},
      {"no desktopLink line", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeInstall install(L"uninstall no ini", c.linkLine, c.withIni);
    LauncherRun run;
    DWORD code = 1;
    ASSERT_TRUE(RunSecondStage(run, install.dir, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(LastLogLine(), "读取uninstall.ini失败");
    EXPECT_TRUE(install.Untouched());
  }
}

TEST_F(Uninstall, FileInUseStopsTheFolderButNotShortcutAndEntry) {
  FakeInstall install(L"uninstall held");
  std::wstring held = install.dir + L"\\bin\\game.exe";
  base::UniqueFile file(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  LauncherRun run;
  DWORD code = 1;
  ASSERT_TRUE(RunSecondStage(run, install.dir, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(base::PathExists(held));
  EXPECT_FALSE(base::PathExists(install.link));
  EXPECT_FALSE(KeyExists());
  EXPECT_TRUE(support::LogContains("删除installpath result: " + base::ErrorText(ERROR_SHARING_VIOLATION) + "\n"))
      << support::ReadLog();
}

TEST_F(Uninstall, OtherNamesAndCommandLinesDoNothing) {
  FakeInstall install(L"uninstall other");
  {
    // The uninstaller given arguments is not the first stage.
    LauncherRun run;
    ASSERT_TRUE(run.Start(install.dir, L"Uninstall.exe", install.dir));
    DWORD code = 1;
    ASSERT_TRUE(run.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
  }
  {
    // The temporary copy without a folder is not the second stage.
    LauncherRun run;
    ASSERT_TRUE(run.Start(support::ScratchDir(L"uninstall second stage"), kSecondStage));
    DWORD code = 1;
    ASSERT_TRUE(run.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
  }
  EXPECT_FALSE(base::PathExists(TempCopy()));
  EXPECT_EQ(LastLogLine(), "IsUninstallLauncher");
  EXPECT_TRUE(install.Untouched());
}

TEST_F(Uninstall, SecondStageStepsOutOfTheInstallFolderInAnyLetterCase) {
  // A process's current folder cannot be removed, so the second stage moves
  // out of it first, however the folder is spelled, and also from below it.
  for (const wchar_t* below : {L"", L"\\data\\maps"}) {
    SCOPED_TRACE(base::Utf8(below));
    FakeInstall install(L"uninstall current dir");
    DWORD code = 1;
    ASSERT_TRUE(RunSecondStageIn(Upper(install.dir) + below, install.dir, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(base::PathExists(install.dir)) << support::ReadLog();
    EXPECT_FALSE(KeyExists());
  }
}
