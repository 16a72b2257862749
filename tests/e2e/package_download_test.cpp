// The package step as a player meets it: the server's version against
// "pkg.ver", the package download with its progress bar and resume, the
// statistics reports, and the micro-client mode's way past failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <optional>

#include "base/fs.h"
#include "base/text.h"
#include "game_publication.h"
#include "support/game_server.h"

namespace e2e {
namespace {

// The ids of the package reports (10, 11, 12) among all reports, in order.
// The package's reports, in order of their ids: each report travels on a
// thread of its own, so two sent in one moment may arrive either way round.
std::vector<int> PackageReportIds() {
  std::vector<int> ids;
  for (int id : ReportIds())
    if (id >= 10 && id <= 12) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines)
    if (l == line) return true;
  return false;
}

class PackageDownload : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    PublishReply("tok", "uid=1&skey=s");
  }

  size_t PackageRequests(int version) { return gameserver::Requests(PackagePath(version)).size(); }
};

TEST_F(PackageDownload, ServerVersionAgainstLocalVersionFile) {
  struct Case {
    const char* server;
    std::optional<std::string> local;
    bool download;
  } cases[] = {
      {"105", std::string("104"), true},
      {"105", std::string("105"), false},
      {"104", std::string("105"), false},
      {"105\n", std::string("105\n"), false},
      {"105", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("server ") + c.server + ", local " + c.local.value_or("(none)"));
    ASSERT_TRUE(ResetServer());
    ASSERT_TRUE(RemoveTree(InstallDir().substr(0, InstallDir().size() - 1)));
    PrepareInstallFolder(c.local ? &*c.local : nullptr);
    PublishServerVersion(c.server);
    PublishPackage(105);
    PublishConfig();
    const long long before = static_cast<long long>(std::time(nullptr));
    RunResult run = Run(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());

    // The version is asked for with the current time as "?v=".
    std::vector<gameserver::RequestLine> asked = gameserver::Requests(VersionPath());
    ASSERT_EQ(asked.size(), 1u);
    std::string v = asked[0].target.substr(VersionPath().size());
    ASSERT_EQ(v.compare(0, 3, "?v="), 0) << v;
    long long stamp = std::atoll(v.c_str() + 3);
    EXPECT_GE(stamp, before - 5);
    EXPECT_LE(stamp, static_cast<long long>(std::time(nullptr)) + 5);

    if (c.local) {
      int server = std::atoi(c.server);
      int local = std::atoi(c.local->c_str());
      EXPECT_NE(run.log.find("server version: " + std::to_string(server) +
                             ", local version: " + std::to_string(local) + "\n"),
                std::string::npos)
          << run.log;
    } else {
      EXPECT_NE(run.log.find("local version file[" + base::Utf8(InstallDir()) + "pkg.ver] not exist!\n"),
                std::string::npos)
          << run.log;
    }
    std::vector<std::string> states = StatesEntered(run.log);
    EXPECT_EQ(Contains(states, "enter download client state"), c.download);
    EXPECT_EQ(PackageRequests(105), c.download ? 1u : 0u);
    EXPECT_TRUE(Contains(states, "enter LoadState"));
    EXPECT_EQ(PackageReportIds(), (c.download ? std::vector<int>{10, 11} : std::vector<int>{}));
  }
}

TEST_F(PackageDownload, FailedPackageIsReportedStartThenFailedAndShown) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");  // but no package of that version
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(base::Utf8(run.boxes[0]),
            "下载游戏包失败！[error:http response failed, isrun:1, res:NULL, status: 404, url: " +
                gameserver::ServerUrl(PackagePath(105)) + "]");
  EXPECT_EQ(PackageReportIds(), (std::vector<int>{10, 12}));
  EXPECT_EQ(run.log.find("enter LoadState"), std::string::npos);
}

TEST_F(PackageDownload, FailedVersionDownloadIsShown) {
  PrepareInstallFolder(nullptr);
  PublishConfig();  // no version text published
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  std::string expected = "下载版本号失败！[error:http response failed, isrun:1, res:NULL, status: 404, url: " +
                         config["minverUrl"] + "?v=";
  EXPECT_EQ(base::Utf8(run.boxes[0]).compare(0, expected.size(), expected), 0) << base::Utf8(run.boxes[0]);
  EXPECT_TRUE(PackageReportIds().empty());
}

TEST_F(PackageDownload, RefusedPackageUrlPatternFailsLikeADownload) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  PublishPackage(105);
  // "%s" would make printf read a string from wherever the next argument lies.
  config["pkgUrl"] = gameserver::ServerUrl("/" + installName + "/game-%s.zip");
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(base::Utf8(run.boxes[0]), "下载游戏包失败！[error:package url has an unsupported conversion \"%s\": " +
                                      config["pkgUrl"] + "]");
  EXPECT_TRUE(gameserver::Requests("/" + installName + "/game-").empty());
  EXPECT_EQ(PackageReportIds(), (std::vector<int>{10, 12}));
}

TEST_F(PackageDownload, InterruptedTwiceResumesToAnIdenticalPackage) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  PublishPackage(105, 3 * 1024 * 1024);
  ASSERT_TRUE(gameserver::AddFault(PackagePath(105), "drop_after=700000"));
  ASSERT_TRUE(gameserver::AddFault(PackagePath(105), "drop_after=900000"));
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());

  std::vector<gameserver::RequestLine> requests = gameserver::Requests(PackagePath(105));
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].range, "-");
  // Each retry asks for the rest, after what had arrived.
  ASSERT_EQ(requests[1].range.compare(0, 6, "bytes="), 0) << requests[1].range;
  ASSERT_EQ(requests[2].range.compare(0, 6, "bytes="), 0) << requests[2].range;
  long long first = std::atoll(requests[1].range.c_str() + 6);
  long long second = std::atoll(requests[2].range.c_str() + 6);
  EXPECT_GT(first, 0);
  EXPECT_GT(second, first);

  // The package unpacks to exactly the published bytes.
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), packageData);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\game.exe"), gameExe);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_EQ(PackageReportIds(), (std::vector<int>{10, 11}));
}

TEST_F(PackageDownload, MicroClientModeDownloadsEvenAnUpToDatePackage) {
  UseMicroClientMode();
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_EQ(PackageRequests(105), 1u) << run.log;
  EXPECT_EQ(run.log.find("server version:"), std::string::npos);
}

TEST_F(PackageDownload, MicroClientModeLaunchesTheShellWithoutUserAfterFailures) {
  UseMicroClientMode();
  struct Case {
    const char* what;
    bool publishVersion;
    const char* logged;
  } cases[] = {
      {"version", false, "下载版本号失败！[error:http response failed, isrun:1, res:NULL, status: 404"},
      {"package", true, "下载游戏包失败！[error:http response failed, isrun:1, res:NULL, status: 404"},
  };
  std::string current = "105";
  PrepareInstallFolder(&current);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(ResetServer());
    Unpublish(VersionPath());
    if (c.publishVersion) PublishServerVersion("106");  // no package 106 exists
    PublishConfig();
    DeleteFileW((InstallDir() + L"shell.exe.cmdline.txt").c_str());
    RunResult run = Run(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
    EXPECT_NE(run.log.find(c.logged), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("enter LoadState"), std::string::npos);
    // The user info was dropped: no game start, the shell gets the platform alone.
    EXPECT_EQ(run.log.find("LaunchGameStart"), std::string::npos);
    ASSERT_TRUE(WaitForFileContaining(InstallDir() + L"shell.exe.cmdline.txt", "\n"));
    EXPECT_EQ(ShellCommandLines(), "5\tpc\n");
    EXPECT_EQ(PackageReportIds(), (c.publishVersion ? std::vector<int>{10, 12} : std::vector<int>{}));
  }
}

// How far right the progress fill reaches on the captured page (0: no fill).
// The fill is a 6-pixel line at y = 106 in the page's blue.
int FillEnd(const Capture& capture) {
  int end = 0;
  for (int y = 104; y <= 108 && y < capture.height; ++y) {
    for (int x = 0; x < capture.width; ++x) {
      uint32_t p = capture.At(x, y);
      int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (r < 90 && g >= 100 && g <= 180 && b >= 200 && x > end) end = x;
    }
  }
  return end;
}

TEST_F(PackageDownload, ProgressBarMovesDuringThePackageButNotTheVersionCheck) {
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishServerVersion("105");
  PublishPackage(105, 2 * 1024 * 1024);
  // Slow enough to be seen: the version after 3 s, the package over about 5 s.
  ASSERT_TRUE(gameserver::AddFault(VersionPath(), "delay_ms=3000"));
  ASSERT_TRUE(gameserver::AddFault(PackagePath(105), "rate=400000"));
  PublishConfig();

  LauncherRun run;
  ASSERT_TRUE(run.Start(ScratchDir(L"progress"), L"vorn-pc-tok.exe")) << run.StartFailure();
  HWND window = run.WaitForMainWindow(20000);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitForLog("enter DownloadPkgVerState", 30000)) << ReadLog();
  Sleep(1500);
  Capture versionCheck;
  ASSERT_TRUE(CaptureWindow(window, &versionCheck));
  ASSERT_TRUE(WaitForLog("enter download client state", 30000)) << ReadLog();
  Sleep(1500);
  Capture early;
  ASSERT_TRUE(CaptureWindow(window, &early));
  Sleep(1500);
  Capture later;
  ASSERT_TRUE(CaptureWindow(window, &later));
  run.RunToEnd(60000, nullptr);

  const std::wstring dir = ArtifactDir();
  EXPECT_TRUE(SavePng(versionCheck, dir + L"\\progress-version-check.png"));
  EXPECT_TRUE(SavePng(early, dir + L"\\progress-package-1.png"));
  EXPECT_TRUE(SavePng(later, dir + L"\\progress-package-2.png"));

  EXPECT_EQ(FillEnd(versionCheck), 0);
  EXPECT_GT(FillEnd(early), 50);
  EXPECT_GT(FillEnd(later), FillEnd(early));
  EXPECT_LE(FillEnd(later), 395 + 4);
  EXPECT_EQ(ReadFileBytes(InstallDir() + L"game\\data.bin"), packageData);
}

}  // namespace
}  // namespace e2e
