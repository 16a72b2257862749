// Start-up as a player meets it: the file name decides what the launcher does.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/text.h"
#include "support/files.h"
#include "support/launcher_harness.h"
#include "test_game.h"
#include "support/log_reader.h"
#include "support/scratch_folder.h"

using base::Utf8;
using support::LauncherRun;

namespace {

const std::string kBanner = "=====================start=====================\n";

}  // namespace

TEST(StartUp, RenamedExecutableIsRefusedWithExitMinusOne) {
  for (const wchar_t* name : {L"setup.exe", L"vorn.exe", L"uninstall.exe"}) {
    SCOPED_TRACE(Utf8(name));
    LauncherRun run;
    ASSERT_TRUE(run.Start(support::ScratchDir(L"rename"), name)) << run.StartFailure();
    support::MessageBoxInfo box = run.WaitForMessageBox(20000);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.caption, L"提示");
    EXPECT_EQ(box.text, L"请勿重命名此程序，重新下载再重试！");
    // No window of the launcher's own exists behind the box.
    EXPECT_EQ(run.WaitForMainWindow(0), nullptr);
    LauncherRun::PressOk(box);
    DWORD code = 0;
    ASSERT_TRUE(run.WaitExit(10000, &code));
    EXPECT_EQ(code, static_cast<DWORD>(-1));
  }
}

TEST(StartUp, NormalRunLogsTokenAndPlatformAndEndsWithZero) {
  LauncherRun run;
  ASSERT_TRUE(run.Start(support::ScratchDir(L"normal"), L"vorn-pc-abc123.exe")) << run.StartFailure();
  DWORD code = 1;
  run.RunToEnd(60000, &code);
  EXPECT_EQ(code, 0u);
  std::string log = support::ReadLog();
  EXPECT_EQ(log.compare(0, kBanner.size(), kBanner), 0) << log;
  EXPECT_NE(log.find("> user token: [abc123]\n"), std::string::npos) << log;
  EXPECT_NE(log.find("> platform: [pc]\n"), std::string::npos) << log;
}

TEST(StartUp, TwoWordNameHasNoToken) {
  LauncherRun run;
  ASSERT_TRUE(run.Start(support::ScratchDir(L"twoword"), L"vorn-pc.exe")) << run.StartFailure();
  DWORD code = 1;
  run.RunToEnd(60000, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(support::LogContains("user token: []\n"));
  EXPECT_TRUE(support::LogContains("platform: [pc]\n"));
}

TEST(StartUp, EachRunBeginsTheLogAnew) {
  ASSERT_TRUE(base::WriteWholeFile(support::LogFilePath(), "left over from an earlier run\n"));
  LauncherRun run;
  ASSERT_TRUE(run.Start(support::ScratchDir(L"truncate"), L"vorn-pc-x.exe")) << run.StartFailure();
  DWORD code = 1;
  run.RunToEnd(60000, &code);
  std::string log = support::ReadLog();
  EXPECT_EQ(log.compare(0, kBanner.size(), kBanner), 0);
  EXPECT_EQ(log.find("left over"), std::string::npos);
  // Every line after the banner carries the time prefix "<YYYY-MM-DD HH:MM:SS> ".
  size_t pos = kBanner.size();
  while (pos < log.size()) {
    size_t end = log.find('\n', pos);
    ASSERT_NE(end, std::string::npos) << "unterminated line";
    std::string line = log.substr(pos, end - pos);
    ASSERT_GE(line.size(), 22u) << line;
    EXPECT_EQ(line[0], '<') << line;
    EXPECT_EQ(line[5], '-') << line;
    EXPECT_EQ(line[11], ' ') << line;
    EXPECT_EQ(line[20], '>') << line;
    EXPECT_EQ(line.find('\r'), std::string::npos) << "lines end in a bare line feed";
    pos = end + 1;
  }
}

TEST(StartUp, SecondInstanceQuitsWithoutTouchingTheLog) {
  // This test process plays the running launcher by holding its mutex.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"kz-vorn-install-launcher");
  ASSERT_NE(mutex, nullptr);
  ASSERT_TRUE(base::WriteWholeFile(support::LogFilePath(), "first instance's log\n"));
  LauncherRun run;
  ASSERT_TRUE(run.Start(support::ScratchDir(L"second"), L"vorn-pc-abc.exe")) << run.StartFailure();
  DWORD code = 1;
  EXPECT_TRUE(run.WaitExit(15000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(run.WaitForMessageBox(0).window, nullptr);
  EXPECT_EQ(support::ReadLog(), "first instance's log\n");
  CloseHandle(mutex);
}

TEST(StartUp, UninstallerNameRunsTheUninstallFlow) {
  LauncherRun run;
  ASSERT_TRUE(run.Start(support::ScratchDir(L"uninstall"), L"vorn-Uninstall.exe", L"not-a-folder")) << run.StartFailure();
  DWORD code = 1;
  ASSERT_TRUE(run.WaitExit(30000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(support::LogContains("> IsUninstallLauncher\n"));
  EXPECT_FALSE(support::LogContains("platform: ["));
}

TEST(StartUp, WebLaunchRunsACopyThatTakesTheUserInfo) {
  std::wstring dir = support::ScratchDir(L"web");
  support::KillProcessesNamed(L"vorn-pc.run.exe");
  LauncherRun run;
  ASSERT_TRUE(run.Start(dir, L"vorn-pc.exe", L"vorn://launch/?uid=1/")) << run.StartFailure();
  DWORD code = 1;
  ASSERT_TRUE(run.WaitExit(20000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(base::PathExists(dir + L"\\vorn-pc.run.exe"));
  // The copy runs on by itself; its log replaces the first process's.
  EXPECT_TRUE(support::WaitForLog("user info: [uid=1]", 20000)) << support::ReadLog();
  EXPECT_TRUE(support::LogContains("user token: [LaunchFromWeb]"));
  // Let the copy finish its run, answering any box it shows.
  std::vector<DWORD> copies = support::ProcessesNamed(L"vorn-pc.run.exe");
  if (!copies.empty()) {
    LauncherRun copy;
    ASSERT_TRUE(copy.Attach(copies[0]));
    DWORD copyCode = 1;
    copy.RunToEnd(60000, &copyCode);
    EXPECT_EQ(copyCode, 0u);
  }
  support::KillProcessesNamed(L"vorn-pc.run.exe");
}

TEST(StartUp, WebLaunchOfARunCopyKeepsTheTokenFromTheName) {
  std::wstring dir = support::ScratchDir(L"webrun");
  LauncherRun run;
  ASSERT_TRUE(run.Start(dir, L"vorn-pc-tok.run.exe", L"vorn://launch/?uid=7/")) << run.StartFailure();
  DWORD code = 1;
  run.RunToEnd(60000, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(support::LogContains("user token: [tok]\n"));
  EXPECT_FALSE(support::LogContains("user info: ["));
  EXPECT_FALSE(base::PathExists(dir + L"\\vorn-pc-tok.run.run.exe"));
}

// Route of attack: a file named like the web launch's copy, put beside the
// launcher beforehand, that the copy cannot replace.
TEST(StartUp, WebLaunchStartsNoPlantedCopyItCannotReplace) {
  struct Row {
    const char* what;
    bool running;  // else another process has it open for reading
  } rows[] = {
      {"held open for reading", false},
      {"running", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    support::KillProcessesNamed(L"vorn-pc.run.exe");
    std::wstring dir = support::ScratchDir(L"web planted");
    std::wstring planted = dir + L"\\vorn-pc.run.exe";
    ASSERT_TRUE(e2e::PlaceTestGame(planted));
    std::string bytes = support::ReadFileBytes(planted);
    base::UniqueFile holder;
    LauncherRun plantedRun;
    if (row.running) {
      ASSERT_TRUE(e2e::StartStayingGame(plantedRun, planted));
      ASSERT_TRUE(e2e::WaitForStarts(planted, 1, 20000));
    } else {
      holder.Reset(CreateFileW(planted.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    size_t startsBefore = e2e::RecordedStarts(planted).size();

    LauncherRun run;
    ASSERT_TRUE(run.Start(dir, L"vorn-pc.exe", L"vorn://launch/?uid=1/")) << run.StartFailure();
    DWORD code = 1;
    std::vector<std::wstring> boxes = run.RunToEnd(30000, &code);
    EXPECT_EQ(code, 0u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(base::Utf8(boxes[0]).rfind("启动程序准备失败，请重新下载再重试！[error:copy to " + base::Utf8(planted) +
                                             " failed: ",
                                         0),
              0u)
        << base::Utf8(boxes[0]);
    Sleep(1000);
    EXPECT_EQ(e2e::RecordedStarts(planted).size(), startsBefore);
    EXPECT_EQ(support::ProcessesNamed(L"vorn-pc.run.exe").size(), row.running ? 1u : 0u);
    EXPECT_FALSE(support::LogContains("StartProcess exepath="));
    plantedRun.WaitExit(0);
    holder.Reset();
    support::KillProcessesNamed(L"vorn-pc.run.exe");
    EXPECT_EQ(support::ReadFileBytes(planted), bytes);
  }
}
