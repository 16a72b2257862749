// Whole launcher runs against the local game server, from the configuration
// to the started game: the stand-in game client records the command line it
// was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "base/fs.h"
#include "base/text.h"
#include "game_publication.h"
#include "support/game_server.h"
#include "support/installation.h"
#include "test_game.h"

namespace e2e {
namespace {

constexpr DWORD kStartTimeoutMs = 20000;

class FirstRun : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    PublishReply("tok", "uid=1&skey=s=2");
  }

  static bool Has(const std::vector<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

  // The game parameters the launcher must have built for the token "tok".
  std::wstring ExpectedGameParams(const std::wstring& dir, const std::wstring& key) {
    std::vector<std::string> first = ReportsWithId(3);  // "Tokenstart" fixes the run's identity
    std::string seq = first.empty() ? std::string() : gameserver::QosField(first[0], "S");
    return L"uid:1 skey:s:2 shell:" + dir + L"shell.exe wdver:2 cmdKey:" + key + L" qosStartAt:" +
           std::to_wstring(startAt) + L" qosSeq:" + base::ToWide(seq);
  }

  // Takes the run's qosStartAt from the game parameters and checks it
  // against the time of the run.
  void ReadStartAt(const std::wstring& params) {
    size_t at = params.find(L" qosStartAt:");
    ASSERT_NE(at, std::wstring::npos);
    startAt = std::wcstoll(params.c_str() + at + 12, nullptr, 10);
    EXPECT_GE(startAt, runStart);
    EXPECT_LE(startAt, static_cast<long long>(time(nullptr)));
  }

  RunResult RunLauncher(const std::wstring& exeName) {
    runStart = static_cast<long long>(time(nullptr));
    return Run(exeName);
  }

  long long runStart = 0;
  long long startAt = 0;
};

TEST_F(FirstRun, FreshInstallDownloadsUnpacksAndStartsTheGame) {
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();
  RunResult run = RunLauncher(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty());
  std::wstring dir = ChosenDir(run.log);
  ASSERT_FALSE(dir.empty()) << run.log;
  EXPECT_EQ(StatesEntered(run.log).back(), "enter LoadState");
  EXPECT_NE(run.log.find("enter DecompressState"), std::string::npos);

  std::wstring game = dir + L"game\\game.exe";
  ASSERT_TRUE(WaitForStarts(game, 1, kStartTimeoutMs)) << run.log;
  std::vector<GameStart> starts = RecordedStarts(game);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].showMode, SW_SHOWMAXIMIZED);
  ReadStartAt(starts[0].params);
  std::wstring key = DigitsAfter(starts[0].params, L" cmdKey:");
  EXPECT_EQ(starts[0].params, ExpectedGameParams(dir, key));
  EXPECT_GE(std::wcstoll(key.c_str(), nullptr, 10), runStart);
  EXPECT_NE(run.log.find("LaunchGameStart: userInfo: " + base::Utf8(starts[0].params)), std::string::npos);

  EXPECT_EQ(ReadFileBytes(dir + L"game\\data.bin"), packageData);
  EXPECT_EQ(ReadFileBytes(dir + L"pkg.ver"), "105");
  EXPECT_FALSE(base::PathExists(dir + L"game.pkg.downloading"));
  std::vector<int> ids = ReportIds();
  for (int id : {3, 10, 11, 20, 21, 25, 26}) EXPECT_TRUE(Has(ids, id)) << id;
  EXPECT_FALSE(Has(ids, 27));
  RemoveTree(dir.substr(0, dir.size() - 1));
}

TEST_F(FirstRun, UpdateEndsTheRunningGameReplacesItAndStartsTheNewOne) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  ASSERT_TRUE(base::WriteWholeFile(InstallDir() + L"game\\old-only.txt", "kept"));
  // The first package made its data read-only; the update replaces it all the same.
  ASSERT_TRUE(base::WriteWholeFile(InstallDir() + L"game\\data.bin", "old data"));
  ASSERT_TRUE(SetFileAttributesW((InstallDir() + L"game\\data.bin").c_str(), FILE_ATTRIBUTE_READONLY));
  std::wstring game = InstallDir() + L"game\\game.exe";
  LauncherRun running;
  ASSERT_TRUE(StartStayingGame(running, game));
  ASSERT_TRUE(WaitForStarts(game, 1, kStartTimeoutMs));
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();

  RunResult run = RunLauncher(L"vorn-pc-tok.exe");
  bool oldEnded = running.WaitExit(5000);
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(oldEnded);
  EXPECT_EQ(ChosenDir(run.log), InstallDir());
  EXPECT_NE(run.log.find("server version: 105, local version: 104"), std::string::npos) << run.log;
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), packageData);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\old-only.txt"), "kept");

  // The "--stay" start of the old copy, then the launch.
  ASSERT_TRUE(WaitForStarts(game, 2, kStartTimeoutMs)) << run.log;
  GameStart launch = RecordedStarts(game)[1];
  ReadStartAt(launch.params);
  EXPECT_EQ(launch.params, ExpectedGameParams(InstallDir(), DigitsAfter(launch.params, L" cmdKey:")));
}

TEST_F(FirstRun, UpToDateInstallStartsTheGameWithoutDownloading) {
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();
  RunResult run = RunLauncher(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(gameserver::Requests(PackagePath(105)).empty());
  EXPECT_EQ(run.log.find("enter DecompressState"), std::string::npos);
  EXPECT_FALSE(base::PathExists(InstallDir() + L"game\\data.bin"));
  std::wstring game = InstallDir() + L"game\\game.exe";
  ASSERT_TRUE(WaitForStarts(game, 1, kStartTimeoutMs)) << run.log;
  GameStart launch = RecordedStarts(game)[0];
  ReadStartAt(launch.params);
  EXPECT_EQ(launch.params, ExpectedGameParams(InstallDir(), DigitsAfter(launch.params, L" cmdKey:")));
  std::vector<int> ids = ReportIds();
  EXPECT_TRUE(Has(ids, 25) && Has(ids, 26));
  EXPECT_FALSE(Has(ids, 20) || Has(ids, 10));
}

TEST_F(FirstRun, AnEarlierLaunchersInstallationIsAdoptedAndKeepsWorking) {
  // Made before installations were recorded: no id, no record.
  std::string current = "105";
  PrepareInstallFolder(&current, false);
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();
  std::wstring game = InstallDir() + L"game\\game.exe";
  for (size_t runs = 1; runs <= 2; ++runs) {
    SCOPED_TRACE(runs);
    RunResult run = RunLauncher(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ChosenDir(run.log), InstallDir()) << run.log;
    EXPECT_EQ(run.log.find(" not used: "), std::string::npos) << run.log;
    ASSERT_TRUE(WaitForStarts(game, runs, kStartTimeoutMs)) << run.log;
  }
  EXPECT_TRUE(gameserver::Requests(PackagePath(105)).empty());
  // Adopted: the folder now carries an id, and the user's record names both.
  std::string id = RecordedInstallId(wideInstallName);
  EXPECT_EQ(id.size(), 32u);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"install.id"), id);
  EXPECT_EQ(RecordedInstallDir(wideInstallName), InstallDir());
}

TEST_F(FirstRun, MicroClientModeStartsTheShellFirstWithTheSameKey) {
  UseMicroClientMode();
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  PublishPackage(105);  // the micro-client mode downloads it even when current
  PublishConfig();
  RunResult run = RunLauncher(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  std::wstring shell = InstallDir() + L"shell.exe";
  std::wstring game = InstallDir() + L"game\\game.exe";
  ASSERT_TRUE(WaitForStarts(shell, 1, kStartTimeoutMs)) << run.log;
  ASSERT_TRUE(WaitForStarts(game, 1, kStartTimeoutMs)) << run.log;
  GameStart shellStart = RecordedStarts(shell)[0];
  GameStart gameStart = RecordedStarts(game)[0];
  std::wstring key = DigitsAfter(shellStart.params, L"pc hide cmd");
  ASSERT_FALSE(key.empty()) << base::Utf8(shellStart.params);
  EXPECT_EQ(shellStart.params, L"pc hide cmd" + key);
  EXPECT_EQ(shellStart.showMode, SW_SHOW);
  EXPECT_EQ(DigitsAfter(gameStart.params, L" cmdKey:"), key);
  ReadStartAt(gameStart.params);
  EXPECT_EQ(gameStart.params, ExpectedGameParams(InstallDir(), key));
  EXPECT_LT(run.log.find("StartProcess exepath=" + base::Utf8(shell)), run.log.find("StartProcess exepath=" + base::Utf8(game)));
}

TEST_F(FirstRun, WithoutUserInfoOnlyTheShellStartsWithThePlatform) {
  UseMicroClientMode();
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishConfig();
  RunResult run = RunLauncher(L"vorn-pc.exe");  // no token, so no user info
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  std::wstring shell = InstallDir() + L"shell.exe";
  ASSERT_TRUE(WaitForStarts(shell, 1, kStartTimeoutMs)) << run.log;
  GameStart shellStart = RecordedStarts(shell)[0];
  EXPECT_EQ(shellStart.params, L"pc");
  EXPECT_EQ(shellStart.showMode, SW_SHOW);
  EXPECT_EQ(run.log.find("LaunchGameStart"), std::string::npos);
  Sleep(500);
  EXPECT_TRUE(RecordedStarts(InstallDir() + L"game\\game.exe").empty());
  std::vector<int> ids = ReportIds();
  EXPECT_FALSE(Has(ids, 25) || Has(ids, 26) || Has(ids, 27));
}

}  // namespace
}  // namespace e2e
