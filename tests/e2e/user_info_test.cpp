// Who the player is: the token server's reply, or the user info a web launch
// brought along, and how it reaches the statistics reports and the game.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/text.h"
#include "game_publication.h"
#include "support/game_server.h"

namespace e2e {
namespace {

const std::string kCurrent = "105";

class UserInfo : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    PrepareInstallFolder(&kCurrent);
    PublishServerVersion(kCurrent);
  }

  std::string GameCommandLines() { return ReadFileBytes(InstallDir() + L"game\\game.exe.cmdline.txt"); }
};

TEST_F(UserInfo, WebLaunchUsesItsUserInfoWithoutAskingTheTokenServer) {
  PublishConfig();
  KillProcessesNamed(L"vorn-pc.run.exe");
  std::wstring dir = ScratchDir(L"webinfo");
  LauncherRun first;
  ASSERT_TRUE(first.Start(dir, L"vorn-pc.exe", L"vorn://launch/?uid=7&skey=abc/")) << first.StartFailure();
  ASSERT_TRUE(first.WaitExit(20000));
  ASSERT_TRUE(WaitForLog("user info: [uid=7&skey=abc]", 20000)) << ReadLog();
  std::vector<DWORD> copies = ProcessesNamed(L"vorn-pc.run.exe");
  if (!copies.empty()) {
    LauncherRun copy;
    ASSERT_TRUE(copy.Attach(copies[0]));
    std::vector<std::wstring> boxes = copy.RunToEnd(90000, nullptr);
    EXPECT_TRUE(boxes.empty());
  }
  ASSERT_TRUE(WaitNoProcessNamed(L"vorn-pc.run.exe", 30000));
  std::string log = ReadLog();

  EXPECT_TRUE(gameserver::Requests("/" + installName + "/replies/").empty());
  EXPECT_EQ(log.find("enter get user login info state"), std::string::npos) << log;
  EXPECT_NE(log.find("enter DownloadPkgVerState"), std::string::npos) << log;
  // The game start is reported with the web launch's user.
  std::vector<std::string> starts = ReportsWithId(25);
  ASSERT_EQ(starts.size(), 1u) << log;
  EXPECT_EQ(gameserver::QosField(starts[0], "N"), "7");
  EXPECT_EQ(gameserver::QosField(starts[0], "W"), "abc");
  EXPECT_NE(GameCommandLines().find("uid:7 skey:abc shell:"), std::string::npos) << GameCommandLines();
}

TEST_F(UserInfo, RepliesBeginningWithErrorAndEmptyRepliesStopTheRun) {
  struct Case {
    const char* token;
    std::string reply;
    const wchar_t* message;
  } cases[] = {
      {"errcode", "errorcode=1001&uid=5", L"get user info failed! errorcode=1001&uid=5"},
      {"empty", "", L"get user info failed! "},
      // A zero byte ends the reply, so this one is empty too.
      {"zero", std::string("\0uid=9", 6), L"get user info failed! "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    ASSERT_TRUE(ResetServer());
    PublishReply(c.token, c.reply);
    PublishConfig();
    RunResult run = Run(base::ToWide(std::string("vorn-pc-") + c.token + ".exe"));
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 1u) << run.log;
    EXPECT_EQ(base::Utf8(run.boxes[0]), base::Utf8(c.message));
    EXPECT_EQ(gameserver::Requests("/" + installName + "/replies/" + c.token).size(), 1u);
    EXPECT_EQ(run.log.find("enter DownloadPkgVerState"), std::string::npos);
    EXPECT_FALSE(base::PathExists(InstallDir() + L"game\\game.exe.cmdline.txt"));
  }
}

TEST_F(UserInfo, ErrorLaterInTheReplyIsAUserInfo) {
  PublishReply("late", "uid=1&error");
  PublishConfig();
  RunResult run = Run(L"vorn-pc-late.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_NE(run.log.find("enter DownloadPkgVerState"), std::string::npos) << run.log;
  // "error" is a piece without "=", which the pair reader skips.
  std::vector<std::string> starts = ReportsWithId(25);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(gameserver::QosField(starts[0], "N"), "1");
  EXPECT_EQ(gameserver::QosField(starts[0], "W"), "");
}

TEST_F(UserInfo, UnreachableTokenServerShowsTheDownloadError) {
  PublishConfig();  // no reply published: the server answers 404
  RunResult run = Run(L"vorn-pc-nobody.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(base::Utf8(run.boxes[0]), "http response failed, isrun:1, res:NULL, status: 404, url: " +
                                      config["tokensvr"] + "nobody");
}

TEST_F(UserInfo, LaterReportsCarryTheRepliedUidAndSkey) {
  // The later uid wins; the skey keeps everything after its first "=".
  PublishReply("pairs", "uid=42&skey=k=v&uid=43");
  std::string older = "104";
  PrepareInstallFolder(&older);
  PublishPackage(105);
  PublishConfig();
  RunResult run = Run(L"vorn-pc-pairs.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  for (int id : {10, 11, 25}) {
    SCOPED_TRACE(id);
    std::vector<std::string> reports = ReportsWithId(id);
    ASSERT_EQ(reports.size(), 1u) << run.log;
    EXPECT_EQ(gameserver::QosField(reports[0], "N"), "43");
    EXPECT_EQ(gameserver::QosField(reports[0], "W"), "k=v");
  }
  // Before the reply arrived nobody was known.
  std::vector<std::string> start = ReportsWithId(3);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(gameserver::QosField(start[0], "N"), "");
}

TEST_F(UserInfo, MicroClientModeLaunchesWithoutUserWhenTheLookupFails) {
  UseMicroClientMode();
  for (const char* token : {"gone", "errreply"}) {
    SCOPED_TRACE(token);
    ASSERT_TRUE(ResetServer());
    if (token == std::string("errreply")) PublishReply(token, "error: unknown token");
    PublishConfig();
    DeleteFileW((InstallDir() + L"shell.exe.cmdline.txt").c_str());
    RunResult run = Run(base::ToWide(std::string("vorn-pc-") + token + ".exe"));
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
    EXPECT_NE(run.log.find("enter get user login info state"), std::string::npos) << run.log;
    EXPECT_EQ(run.log.find("enter DownloadPkgVerState"), std::string::npos);
    EXPECT_NE(run.log.find("enter LoadState"), std::string::npos);
    // Only the shell starts, with the platform word alone.
    EXPECT_EQ(run.log.find("LaunchGameStart"), std::string::npos);
    ASSERT_TRUE(WaitForFileContaining(InstallDir() + L"shell.exe.cmdline.txt", "\n"));
    EXPECT_EQ(ShellCommandLines(), "5\tpc\n");
  }
}


// Route of attack: a web page opens the URL protocol with its own text.
TEST_F(UserInfo, WebPageCannotForgeOrSplitTheGamesWords) {
  struct Case {
    const wchar_t* commandLine;
    const char* problem;
  } cases[] = {
      {L"vorn://x?uid=9 shell:C:\\evil.exe&skey=s/", "blank in piece 1"},
      {L"vorn://x?uid=9&cmdKey=1&skey=s/", "reserved word cmdKey in piece 2"},
      {L"vorn://x?uid=9&QOSSEQ:x/", "reserved word QOSSEQ in piece 2"},
      {L"vorn://x?uid=9&skey=a\"b/", "quote in piece 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    LauncherRun run;
    // The web-launch copy itself, as the first process would start it.
    ASSERT_TRUE(run.Start(ScratchDir(L"webforge"), L"vorn-pc.run.exe", c.commandLine)) << run.StartFailure();
    MessageBoxInfo box = run.WaitForMessageBox(20000);
    ASSERT_NE(box.window, nullptr) << ReadLog();
    EXPECT_EQ(box.caption, L"提示");
    EXPECT_EQ(base::Utf8(box.text), std::string("网页登录信息无效，请重新从网页启动游戏！[error:") + c.problem + "]");
    EXPECT_EQ(run.WaitForMainWindow(0), nullptr);
    LauncherRun::PressOk(box);
    DWORD code = 0;
    ASSERT_TRUE(run.WaitExit(10000, &code));
    EXPECT_EQ(code, static_cast<DWORD>(-1));
    EXPECT_EQ(ReadLog().find("enter "), std::string::npos) << ReadLog();
  }
  EXPECT_FALSE(base::PathExists(InstallDir() + L"game\\game.exe.cmdline.txt"));
}

// Route of attack: the token server's reply.
TEST_F(UserInfo, RepliesThatWouldForgeWordsFailLikeErrorReplies) {
  struct Case {
    const char* token;
    const char* reply;
    const char* problem;
  } cases[] = {
      {"forge", "uid=1&cmdKey=2", "reserved word cmdKey in piece 2"},
      {"split", "uid=1 shell:C:\\evil.exe", "blank in piece 1"},
      {"quote", "uid=1&skey=a\"b", "quote in piece 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    ASSERT_TRUE(ResetServer());
    PublishReply(c.token, c.reply);
    PublishConfig();
    RunResult run = Run(base::ToWide(std::string("vorn-pc-") + c.token + ".exe"));
    ASSERT_TRUE(run.ended);
    ASSERT_EQ(run.boxes.size(), 1u) << run.log;
    EXPECT_EQ(base::Utf8(run.boxes[0]), std::string("get user info failed! bad user info (") + c.problem + ")");
    EXPECT_EQ(run.log.find("enter DownloadPkgVerState"), std::string::npos);
    EXPECT_FALSE(base::PathExists(InstallDir() + L"game\\game.exe.cmdline.txt"));
  }
  // In micro-client mode the shell still starts, without the refused user.
  UseMicroClientMode();
  ASSERT_TRUE(ResetServer());
  PublishReply("forgewd", "uid=1&shell=C:\\evil.exe");
  PublishConfig();
  DeleteFileW((InstallDir() + L"shell.exe.cmdline.txt").c_str());
  RunResult run = Run(L"vorn-pc-forgewd.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(run.log.find("LaunchGameStart"), std::string::npos) << run.log;
  ASSERT_TRUE(WaitForFileContaining(InstallDir() + L"shell.exe.cmdline.txt", "\n"));
  EXPECT_EQ(ShellCommandLines(), "5\tpc\n");
}

TEST_F(UserInfo, RealTokensReachTheGameAndTheReportsUnchanged) {
  // URL-safe punctuation, escapes and "=" padding; "#", ";" and "}" are
  // harmless on the command line and must not cut or forge a report.
  const std::string skey = "AbC-_.~:/+=%2F==#;T:99}";
  PublishReply("real", "uid=123&skey=" + skey);
  PublishConfig();
  RunResult run = Run(L"vorn-pc-real.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  ASSERT_TRUE(WaitForFileContaining(InstallDir() + L"game\\game.exe.cmdline.txt", "\n"));
  EXPECT_NE(GameCommandLines().find("uid:123 skey:AbC-_.~:/+:%2F::#;T:99} shell:"), std::string::npos)
      << GameCommandLines();
  std::vector<std::string> starts = ReportsWithId(25);
  ASSERT_EQ(starts.size(), 1u) << run.log;
  EXPECT_EQ(gameserver::QosField(starts[0], "N"), "123");
  EXPECT_EQ(gameserver::QosField(starts[0], "W"), skey);
  EXPECT_EQ(gameserver::QosField(starts[0], "EVENT"), "LaunchGameStart");
}

TEST_F(UserInfo, PlayerAndVersionAreAskedWhileTheLogoComes) {
  PublishReply("quick", "uid=5&skey=k");
  PublishConfig();
  const std::string logo = "/" + installName + "/logo.png";
  ASSERT_TRUE(gameserver::AddFault(logo, "delay_ms=1500"));
  RunResult run = Run(L"vorn-pc-quick.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  ASSERT_TRUE(WaitForFileContaining(InstallDir() + L"game\\game.exe.cmdline.txt", "\n"));
  EXPECT_NE(GameCommandLines().find("uid:5 skey:k shell:"), std::string::npos) << GameCommandLines();

  // The server logs a request once answered: both answers came while the
  // logo was held back, and each was asked for once.
  std::vector<std::string> order;
  for (const auto& r : gameserver::Requests("/" + installName + "/")) order.push_back(r.target);
  auto at = [&](const std::string& prefix) {
    size_t found = order.size();
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i].rfind(prefix, 0) == 0) {
        EXPECT_EQ(found, order.size()) << prefix << " asked for twice";
        found = i;
      }
    return found;
  };
  size_t logoAt = at(logo);
  size_t userAt = at("/" + installName + "/replies/quick");
  size_t versionAt = at(VersionPath());
  ASSERT_LT(logoAt, order.size());
  EXPECT_LT(userAt, logoAt);
  EXPECT_LT(versionAt, logoAt);
  // The states still run in their order.
  EXPECT_LT(run.log.find("enter download launcher logo state"), run.log.find("enter get user login info state"));
  EXPECT_LT(run.log.find("enter get user login info state"), run.log.find("enter DownloadPkgVerState"));
}

}  // namespace
}  // namespace e2e
