// Whole launcher runs in micro-client mode against the local game server,
// and the uninstaller that the run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "game_publication.h"
#include "install/registration.h"
#include "support/game_server.h"
#include "support/installation.h"
#include "test_game.h"

namespace e2e {
namespace {

constexpr DWORD kStartTimeoutMs = 20000;
const std::wstring kSecondStage = L"tmp567pbq3cas9190aewdqw634_Uninstall.exe";

std::set<std::wstring> UninstallEntries() { return SubKeyNames(HKEY_CURRENT_USER, kUninstallRegPath); }

class MicroClientRun : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    UseMicroClientMode();
    config["weiduanVer"] = "3.0.1";
    KillProcessesNamed(kSecondStage);
  }
  void TearDown() override {
    KillProcessesNamed(kSecondStage);
    DeleteFileW(Link().c_str());
    DeleteRegistryTree(HKEY_CURRENT_USER, Entry());
    RemoveTree(InstallDir().substr(0, InstallDir().size() - 1));
    if (!chosenDir.empty()) RemoveTree(chosenDir.substr(0, chosenDir.size() - 1));
    WorkflowTest::TearDown();
  }
  // Runs the launcher and notes the install folder it chose ("SetInstallDir:<path>").
  RunResult RunAndNoteFolder(const std::wstring& exeName) {
    RunResult run = Run(exeName);
    chosenDir = ChosenDir(run.log);
    return run;
  }
  std::wstring Link() const { return DesktopFolder() + L"\\" + wideInstallName + L".lnk"; }
  std::wstring Entry() const { return std::wstring(kUninstallRegPath) + L"\\" + wideInstallName; }
  std::wstring Shell() const { return chosenDir + L"shell.exe"; }
  // Index of the state's log line among the states entered; -1 when absent.
  static int Entered(const std::vector<std::string>& states, const std::string& state) {
    auto at = std::find(states.begin(), states.end(), "enter " + state);
    return at == states.end() ? -1 : static_cast<int>(at - states.begin());
  }

  std::wstring chosenDir;  // with its trailing backslash
};

TEST_F(MicroClientRun, InstallThenUninstallLeavesTheMachineAsItWas) {
  std::set<std::wstring> desktopBefore = FileNames(DesktopFolder() + L"\\*");
  std::set<std::wstring> entriesBefore = UninstallEntries();
  PublishConfig();

  RunResult run = RunAndNoteFolder(L"vorn-pc.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_FALSE(chosenDir.empty()) << run.log;
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  std::vector<std::string> states = StatesEntered(run.log);
  int shellState = Entered(states, "download weiduan state");
  int cfgState = Entered(states, "download weiduan cfg state");
  int load = Entered(states, "LoadState");
  ASSERT_GE(shellState, 0) << run.log;
  EXPECT_EQ(cfgState, shellState + 1) << run.log;
  EXPECT_EQ(load, cfgState + 1) << run.log;  // no token: straight to the launch
  ASSERT_TRUE(WaitForStarts(Shell(), 1, kStartTimeoutMs)) << run.log;
  EXPECT_EQ(RecordedStarts(Shell())[0].params, L"pc");

  EXPECT_EQ(ReadFileBytes(chosenDir + L"weiduan.ver"), "3.0.1");
  EXPECT_EQ(ReadFileBytes(chosenDir + L"shell.cfg"), "[shell]\n");
  EXPECT_TRUE(base::PathExists(Link()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Entry()));
  EXPECT_EQ(ReadFileBytes(chosenDir + L"Uninstall.exe"), ReadFileBytes(LauncherExe()));
  EXPECT_EQ(ReadFileBytes(chosenDir + L"Uninstall.ini"),
            "[uninstall]\r\ndesktopLink=" + base::Utf8(Link()) + "\r\ninstallName=" + installName +
                "\r\nregPath=Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n");

  // The player uninstalls with the registered command.
  RegistryValue command = ReadRegistryValue(HKEY_CURRENT_USER, Entry(), L"UninstallString");
  ASSERT_TRUE(command.found);
  std::wstring uninstaller = command.Text();
  uninstaller.resize(wcsnlen(uninstaller.c_str(), uninstaller.size()));
  // Quoted like any command with a path that may hold blanks.
  ASSERT_GE(uninstaller.size(), 2u);
  EXPECT_EQ(uninstaller.front(), L'"');
  EXPECT_EQ(uninstaller.back(), L'"');
  LauncherRun first;
  ASSERT_TRUE(first.StartExisting(uninstaller.substr(1, uninstaller.size() - 2))) << first.StartFailure();
  DWORD code = 1;
  ASSERT_TRUE(first.WaitExit(20000, &code));
  EXPECT_EQ(code, 0u);
  ASSERT_TRUE(WaitForLog("删除注册表", 30000)) << ReadLog();
  ASSERT_TRUE(WaitNoProcessNamed(kSecondStage, 30000));

  EXPECT_FALSE(base::PathExists(chosenDir)) << ReadLog();
  EXPECT_EQ(FileNames(DesktopFolder() + L"\\*"), desktopBefore);
  EXPECT_EQ(UninstallEntries(), entriesBefore);
}

TEST_F(MicroClientRun, WithTokenTheUserInfoFollowsTheRegistration) {
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");  // no reply published: the lookup fails
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  std::vector<std::string> states = StatesEntered(run.log);
  int cfgState = Entered(states, "download weiduan cfg state");
  ASSERT_GE(cfgState, 0) << run.log;
  EXPECT_EQ(Entered(states, "get user login info state"), cfgState + 1) << run.log;
  EXPECT_LT(run.log.find("create destop link file result: " + base::Utf8(Link())),
            run.log.find("enter get user login info state"));
}

TEST_F(MicroClientRun, ShellInUseIsKeptAndStarted) {
  // Open for reading and running, not for writing, as a running program's file is.
  std::string oldShell = gameExe + "old shell";
  chosenDir = InstallDir();  // an existing installation is taken again
  ASSERT_EQ(base::CreateDirectoryTree(chosenDir), 0u);
  RecordInstallation(wideInstallName, chosenDir);
  ASSERT_TRUE(base::WriteWholeFile(Shell(), oldShell));
  base::UniqueFile held(
      CreateFileW(Shell().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  PublishConfig();
  RunResult run = Run(L"vorn-pc.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_NE(run.log.find("SetInstallDir:" + base::Utf8(chosenDir) + "\n"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("error code: 32"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("enter download weiduan cfg state"), std::string::npos) << run.log;
  ASSERT_TRUE(WaitForStarts(Shell(), 1, kStartTimeoutMs)) << run.log;
  held.Reset();
  EXPECT_EQ(ReadFileBytes(Shell()), oldShell);
}

TEST_F(MicroClientRun, DownloadFailuresShowTheirMessages) {
  struct Case {
    const char* file;
    const wchar_t* message;
  } cases[] = {{"shell.exe", L"下载微端失败！[error:"}, {"shell.cfg", L"下载微端配置失败！[error:"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_TRUE(ResetServer());
    ASSERT_TRUE(gameserver::AddFault("/" + installName + "/" + c.file, "status=404"));
    PublishConfig();
    RunResult run = Run(L"vorn-pc.exe");
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.boxes.size(), 1u) << run.log;
    const std::wstring& box = run.boxes[0];
    EXPECT_EQ(box.compare(0, wcslen(c.message), c.message), 0) << base::Utf8(box);
    EXPECT_EQ(box.back(), L']');
    EXPECT_FALSE(base::PathExists(Link()));  // nothing registered
    EXPECT_EQ(run.log.find("enter LoadState"), std::string::npos);
  }
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// The player installed while D: was missing, so the installation lies in the
// application data. Later someone plants D:\\<installName>, searched first,
// with a version that would skip every update and their own program at the
// game's and the shell's paths.
TEST_F(MicroClientRun, AFolderPlantedOnDLaterIsNeitherStartedNorTouched) {
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishReply("tok", "uid=1&skey=s");
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();
  const std::wstring planted = L"D:\\" + wideInstallName + L"\\";
  ASSERT_EQ(base::CreateDirectoryTree(planted + L"photos"), 0u);
  ASSERT_TRUE(PlaceTestGame(planted + L"game\\game.exe"));
  ASSERT_TRUE(PlaceTestGame(planted + L"shell.exe"));
  ASSERT_TRUE(base::WriteWholeFile(planted + L"pkg.ver", "2147483647"));
  ASSERT_TRUE(base::WriteWholeFile(planted + L"photos\\holiday.jpg", std::string(4000, 'j')));
  ASSERT_TRUE(base::WriteWholeFile(planted + L"Uninstall.ini",
                                   "[uninstall]\r\ndesktopLink=\r\ninstallName=" + installName +
                                       "\r\nregPath=Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\r\n"));
  const std::map<std::wstring, std::string> before = TreeSnapshot(planted);

  RunResult run = RunAndNoteFolder(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(chosenDir, InstallDir()) << run.log;
  ASSERT_TRUE(WaitForStarts(InstallDir() + L"game\\game.exe", 1, kStartTimeoutMs)) << run.log;
  ASSERT_TRUE(WaitForStarts(Shell(), 1, kStartTimeoutMs)) << run.log;

  // The player uninstalls from the application data.
  LauncherRun first;
  ASSERT_TRUE(first.StartExisting(InstallDir() + L"Uninstall.exe")) << first.StartFailure();
  ASSERT_TRUE(first.WaitExit(20000));
  ASSERT_TRUE(WaitForLog("删除注册表", 30000)) << ReadLog();
  ASSERT_TRUE(WaitNoProcessNamed(kSecondStage, 30000));
  EXPECT_FALSE(base::PathExists(InstallDir())) << ReadLog();
  EXPECT_TRUE(RecordedInstallDir(wideInstallName).empty());

  // And the second stage pointed at the planted folder refuses it.
  LauncherRun second;
  ASSERT_TRUE(second.Start(ScratchDir(L"uninstall second stage"), kSecondStage, planted.substr(0, planted.size() - 1)))
      << second.StartFailure();
  ASSERT_TRUE(second.WaitExit(30000));
  EXPECT_NE(LastMessage(ReadLog()).find("uninstall refused for "), std::string::npos) << ReadLog();

  Sleep(500);
  EXPECT_TRUE(RecordedStarts(planted + L"game\\game.exe").empty());
  EXPECT_TRUE(RecordedStarts(planted + L"shell.exe").empty());
  EXPECT_EQ(TreeSnapshot(planted), before);
  RemoveTree(planted.substr(0, planted.size() - 1));
}

}  // namespace
}  // namespace e2e
