// The uninstaller as the player runs it: "Uninstall.exe" in the install
// folder hands over to a copy in the temporary folder, which removes the
// folder, the desktop shortcut and the uninstall entry.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cwctype>

#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/files.h"
#include "support/installation.h"
#include "support/launcher_harness.h"
#include "support/log_reader.h"
#include "support/registry.h"
#include "support/remove_tree.h"
#include "support/scratch_folder.h"
#include "test_game.h"

using support::LauncherRun;

namespace {

const std::wstring kSecondStage = L"tmp567pbq3cas9190aewdqw634_Uninstall.exe";
const std::wstring kRegPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kEntry = L"VornE2EUninstall";

std::wstring TempCopy() { return support::TempFolder() + kSecondStage; }

bool KeyExists() { return support::KeyExists(HKEY_CURRENT_USER, kRegPath + L"\\" + kEntry); }

std::wstring Desktop() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, folder);
  return folder;
}

// What a micro-client installation leaves behind, minus the real shell.
struct FakeInstall {
  std::wstring dir;   // the install folder, named after the entry, with a blank in its path
  std::wstring link;  // stands in for the desktop shortcut

  FakeInstall(const std::wstring& scratch, const char* linkLine = nullptr, bool withIni = true,
              const std::wstring& regPath = kRegPath) {
    dir = support::ScratchDir(scratch + L"\\" + kEntry);
    link = Desktop() + L"\\Vorn E2E Uninstall.lnk";
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
    // The launcher's own mark: the install id and the user's record of the folder.
    support::RecordInstallation(kEntry, dir + L"\\");
    if (!withIni) return;
    std::string linkText = linkLine ? linkLine : "desktopLink=" + base::Utf8(link);
    base::WriteWholeFile(dir + L"\\Uninstall.ini",
                         "[uninstall]\r\n" + linkText + "\r\ninstallName=" + base::Utf8(kEntry) +
                             "\r\nregPath=" + base::Utf8(regPath) + "\r\n");
  }
  ~FakeInstall() {
    support::ForgetInstallation(kEntry);
    RegDeleteKeyW(HKEY_CURRENT_USER, (kRegPath + L"\\" + kEntry).c_str());
    DeleteFileW(link.c_str());
  }
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
  ASSERT_TRUE(first.Start(install.dir, L"Uninstall.exe")) << first.StartFailure();
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
  EXPECT_TRUE(support::RecordedInstallDir(kEntry).empty()) << "the record goes with the folder";
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
    ASSERT_TRUE(run.Start(install.dir, L"Uninstall.exe", install.dir)) << run.StartFailure();
    DWORD code = 1;
    ASSERT_TRUE(run.WaitExit(20000, &code));
    EXPECT_EQ(code, 0u);
  }
  {
    // The temporary copy without a folder is not the second stage.
    LauncherRun run;
    ASSERT_TRUE(run.Start(support::ScratchDir(L"uninstall second stage"), kSecondStage)) << run.StartFailure();
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

TEST_F(Uninstall, WithoutAShortcutTheRestIsStillRemoved) {
  // Making the shortcut can fail at install time; that must not make the
  // installation impossible to remove.
  for (const char* linkLine : {"desktopLink=", ""}) {
    SCOPED_TRACE(linkLine);
    FakeInstall install(L"uninstall no link", linkLine);
    LauncherRun run;
    DWORD code = 1;
    ASSERT_TRUE(RunSecondStage(run, install.dir, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(base::PathExists(install.dir)) << support::ReadLog();
    EXPECT_FALSE(KeyExists());
    EXPECT_TRUE(base::PathExists(install.link));  // not named, so not touched
    EXPECT_TRUE(support::LogContains("desktop link left alone: no shortcut was made")) << support::ReadLog();
  }
}

// Route of attack: the second stage's command line names another folder.
TEST_F(Uninstall, AFolderThatIsNotTheInstallationIsLeftAlone) {
  FakeInstall install(L"uninstall sibling");
  // A sibling full of the user's files, with a planted Uninstall.ini naming the entry.
  std::wstring photos = install.dir.substr(0, install.dir.rfind(L'\\')) + L"\\Photos";
  ASSERT_EQ(base::CreateDirectoryTree(photos), 0u);
  ASSERT_TRUE(base::WriteWholeFile(photos + L"\\holiday.jpg", "jpg"));
  CopyFileW((install.dir + L"\\Uninstall.ini").c_str(), (photos + L"\\Uninstall.ini").c_str(), FALSE);
  std::wstring parent = install.dir + L"\\..";
  CopyFileW((install.dir + L"\\Uninstall.ini").c_str(), (parent + L"\\Uninstall.ini").c_str(), FALSE);
  for (const std::wstring& target : {photos, install.dir + L"\\..\\Photos", parent}) {
    SCOPED_TRACE(base::Utf8(target));
    LauncherRun run;
    DWORD code = 1;
    ASSERT_TRUE(RunSecondStage(run, target, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_NE(LastLogLine().find("uninstall refused for "), std::string::npos) << support::ReadLog();
    EXPECT_TRUE(base::PathExists(photos + L"\\holiday.jpg"));
    EXPECT_TRUE(install.Untouched());
  }
}

// Route of attack: Uninstall.ini names a file or key that is not ours.
TEST_F(Uninstall, ShortcutAndKeyOutsideTheirPlacesAreLeftAlone) {
  std::wstring notes = support::ScratchDir(L"uninstall user files") + L"\\notes.lnk";
  ASSERT_TRUE(base::WriteWholeFile(notes, "mine"));
  const std::wstring otherParent = L"Software\\VornE2EOther";
  base::UniqueKey other;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, (otherParent + L"\\" + kEntry).c_str(), other.Put()),
            ERROR_SUCCESS);
  other.Reset();
  FakeInstall install(L"uninstall forged ini", ("desktopLink=" + base::Utf8(notes)).c_str(), true,
                      otherParent);
  LauncherRun run;
  DWORD code = 1;
  ASSERT_TRUE(RunSecondStage(run, install.dir, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(base::PathExists(install.dir));
  EXPECT_TRUE(base::PathExists(notes));
  base::UniqueKey still;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (otherParent + L"\\" + kEntry).c_str(), 0, KEY_READ,
                          still.Put()),
            ERROR_SUCCESS);
  std::string log = support::ReadLog();
  EXPECT_NE(log.find("desktop link left alone: not in the desktop folder"), std::string::npos) << log;
  EXPECT_NE(log.find("uninstall entry left alone: not the uninstall list key"), std::string::npos) << log;
  still.Reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, otherParent.c_str());
}

TEST_F(Uninstall, AnUnquotedCommandWithBlanksStillStartsTheFirstStage) {
  // Entries written before the command was quoted: the system hands the
  // uninstaller the rest of its own path as its command line.
  FakeInstall install(L"uninstall unquoted path");
  std::wstring exe = install.dir + L"\\Uninstall.exe";
  ASSERT_TRUE(CopyFileW(support::LauncherExe().c_str(), exe.c_str(), FALSE));
  std::wstring line = exe;  // no quotes
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, install.dir.c_str(),
                             &si, &pi));
  base::UniqueHandle thread(pi.hThread);
  base::UniqueHandle process(pi.hProcess);
  ASSERT_EQ(WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);
  ASSERT_TRUE(support::WaitForLog("删除注册表", 30000)) << support::ReadLog();
  ASSERT_TRUE(support::WaitNoProcessNamed(kSecondStage, 30000));
  EXPECT_FALSE(base::PathExists(install.dir)) << support::ReadLog();
  EXPECT_FALSE(base::PathExists(install.link));
  EXPECT_FALSE(KeyExists());
}

// Route of attack: a folder with the installation's name and an Uninstall.ini
// (planted, or one the launcher itself once wrote into a folder not its own)
// that this user's launcher never recorded, or whose id is not the recorded one.
TEST_F(Uninstall, AFolderWithoutTheUsersRecordAndIdIsLeftAlone) {
  struct Row {
    const char* what;
    const char* reason;
    void (*spoil)(const FakeInstall&);
  } rows[] = {
      {"no record", "no install record of this user names it",
       [](const FakeInstall&) { support::ForgetInstallation(kEntry); }},
      {"the record names another folder", "the install record names D:\\VornE2EUninstall\\",
       [](const FakeInstall&) {
         base::CreateDirectoryTree(L"D:\\VornE2EUninstall");
         support::RecordInstallation(kEntry, L"D:\\VornE2EUninstall\\");
       }},
      {"another id in the folder", "its install id does not match the record",
       [](const FakeInstall& f) { base::WriteWholeFile(f.dir + L"\\install.id", std::string(32, 'f')); }},
      {"no id in the folder", "its install id does not match the record",
       [](const FakeInstall& f) { DeleteFileW((f.dir + L"\\install.id").c_str()); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeInstall install(L"uninstall unrecorded");
    row.spoil(install);
    LauncherRun run;
    DWORD code = 1;
    ASSERT_TRUE(RunSecondStage(run, install.dir, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(LastLogLine(), "uninstall refused for " + base::Utf8(install.dir) + ": " + row.reason)
        << support::ReadLog();
    EXPECT_TRUE(install.Untouched());
    support::RemoveTree(L"D:\\VornE2EUninstall");
  }
}

// Route of attack: a program put into the temporary folder under the second
// stage's name beforehand, held open so that the first stage cannot replace it.
TEST_F(Uninstall, APlantedSecondStageThatCannotBeReplacedIsNotStarted) {
  FakeInstall install(L"uninstall planted copy");
  ASSERT_TRUE(e2e::PlaceTestGame(TempCopy()));
  std::string bytes = support::ReadFileBytes(TempCopy());
  base::UniqueFile holder(CreateFileW(TempCopy().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
  ASSERT_TRUE(holder);
  LauncherRun first;
  ASSERT_TRUE(first.Start(install.dir, L"Uninstall.exe")) << first.StartFailure();
  DWORD code = 1;
  ASSERT_TRUE(first.WaitExit(20000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(LastLogLine().rfind("the second stage is not started: copy to " + base::Utf8(TempCopy()) + " failed: ", 0),
            0u)
      << support::ReadLog();
  Sleep(1000);
  EXPECT_TRUE(e2e::RecordedStarts(TempCopy()).empty());
  EXPECT_TRUE(support::ProcessesNamed(kSecondStage).empty());
  EXPECT_TRUE(install.Untouched());
  holder.Reset();
  EXPECT_EQ(support::ReadFileBytes(TempCopy()), bytes);
  DeleteFileW(TempCopy().c_str());
}

TEST_F(Uninstall, AFolderInUseAsAProgramsCurrentFolderStaysWholeButNotShortcutAndEntry) {
  // The micro-client shell started from its shortcut works in the install folder.
  FakeInstall install(L"uninstall current folder of another");
  std::wstring program = support::ScratchDir(L"uninstall other program") + L"\\shell.exe";
  ASSERT_TRUE(e2e::PlaceTestGame(program));
  LauncherRun shell;
  ASSERT_TRUE(shell.StartExisting(program, L"--stay", install.dir)) << shell.StartFailure();
  ASSERT_TRUE(e2e::WaitForStarts(program, 1, 20000));
  LauncherRun run;
  DWORD code = 1;
  ASSERT_TRUE(RunSecondStage(run, install.dir, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(support::LogContains("删除installpath result: " + base::ErrorText(ERROR_SHARING_VIOLATION) + "\n"))
      << support::ReadLog();
  EXPECT_TRUE(base::PathExists(install.dir + L"\\bin\\game.exe"));
  EXPECT_TRUE(base::PathExists(install.dir + L"\\data\\maps\\a.map"));
  EXPECT_FALSE(support::RecordedInstallDir(kEntry).empty()) << "kept while the folder is";
  EXPECT_FALSE(base::PathExists(install.link));
  EXPECT_FALSE(KeyExists());
}
