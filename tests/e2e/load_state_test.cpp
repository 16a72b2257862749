// The launch step as the player's machine sees it: copies of the stand-in
// game client play the game and the micro-client shell and record how they
// were started.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "workflow/terminal_states.h"
#include "base/sha256.h"
#include "base/strings.h"
#include "base/text.h"
#include "state_driver.h"
#include "support/game_server.h"
#include "support/files.h"
#include "support/log_reader.h"
#include "test_game.h"
#include "workflow/load_state.h"

namespace {

constexpr DWORD kStartTimeoutMs = 20000;
const std::string kSeq = "0123456789abcdef0123456789abcdef";

struct Launch : e2e::StateDriver {
  explicit Launch(const std::wstring& name) : StateDriver(name) {
    config.platform = L"360";
    qos.qosStartAt = 1700000000;
    qos.sQosSeq = kSeq;
    e2e::OpenTestLog(scratch);
  }
  std::wstring Game() const { return config.GetPkgExePath(); }
  std::wstring Shell() const { return config.GetWeiduanShellPath(); }
  void PlacePrograms() {
    ASSERT_TRUE(e2e::PlaceTestGame(Game()));
    ASSERT_TRUE(e2e::PlaceTestGame(Shell()));
  }
  // Runs the state's one tick; true when it handed over to CompleteState.
  bool Run() {
    before = std::atoll(base::TimestampText().c_str());
    bool replaced = RunUntilReplaced(new LoadState(&context), 5000);
    after = std::atoll(base::TimestampText().c_str());
    return replaced && dynamic_cast<CompleteState*>(context.state.get()) != nullptr;
  }
  long long before = 0, after = 0;
};

// "cmdKey:<digits>" inside `params`, as a number; -1 when absent.
long long KeyIn(const std::wstring& params, const std::wstring& marker) {
  std::wstring digits = e2e::DigitsAfter(params, marker);
  return digits.empty() ? -1 : std::stoll(digits);
}

}  // namespace

TEST(LoadState, GameClientGetsTheFoldedParametersAndNoShellStarts) {
  Launch l(L"load with blank");  // a blank in the shell's path is passed unquoted
  l.config.userInfo = L"uid=1&skey=a=b";
  l.PlacePrograms();
  ASSERT_TRUE(l.Run());
  ASSERT_TRUE(e2e::WaitForStarts(l.Game(), 1, kStartTimeoutMs));
  std::vector<e2e::GameStart> starts = e2e::RecordedStarts(l.Game());
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].showMode, SW_SHOWMAXIMIZED);
  long long key = KeyIn(starts[0].params, L" cmdKey:");
  EXPECT_GE(key, l.before);
  EXPECT_LE(key, l.after);
  std::wstring expected = L"uid:1 skey:a:b shell:" + l.config.installDir + L"wd.exe wdver:2 cmdKey:" +
                          std::to_wstring(key) + L" qosStartAt:1700000000 qosSeq:" + base::ToWide(kSeq);
  EXPECT_EQ(starts[0].params, expected);
  EXPECT_NE(l.config.installDir.find(L' '), std::wstring::npos);

  ASSERT_EQ(l.page.statusTexts.size(), 1u);
  EXPECT_EQ(l.page.statusTexts[0], L"游戏启动中，请稍后...");
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("enter LoadState"), std::string::npos);
  EXPECT_NE(log.find("LaunchGameStart: userInfo: " + base::Utf8(expected) + "\n"), std::string::npos) << log;
  // Not in micro-client mode: the shell is never started.
  Sleep(500);
  EXPECT_TRUE(e2e::RecordedStarts(l.Shell()).empty());
}

TEST(LoadState, WithoutAnyReportTheQosPartsAreEmpty) {
  Launch l(L"load-noqos");
  l.qos.qosStartAt = 0;
  l.qos.sQosSeq.clear();
  l.config.userInfo = L"uid=7";
  l.PlacePrograms();
  ASSERT_TRUE(l.Run());
  ASSERT_TRUE(e2e::WaitForStarts(l.Game(), 1, kStartTimeoutMs));
  std::wstring params = e2e::RecordedStarts(l.Game())[0].params;
  const std::wstring tail = L" qosStartAt:0 qosSeq:";
  ASSERT_GE(params.size(), tail.size());
  EXPECT_EQ(params.substr(params.size() - tail.size()), tail);
}

TEST(LoadState, MicroClientModeStartsTheShellFirstWithTheSameKey) {
  Launch l(L"load-weiduan");
  l.config.userInfo = L"uid=1";
  l.config.weiduanShortcut = true;
  l.PlacePrograms();
  ASSERT_TRUE(l.Run());
  ASSERT_TRUE(e2e::WaitForStarts(l.Shell(), 1, kStartTimeoutMs));
  ASSERT_TRUE(e2e::WaitForStarts(l.Game(), 1, kStartTimeoutMs));
  e2e::GameStart shell = e2e::RecordedStarts(l.Shell())[0];
  e2e::GameStart game = e2e::RecordedStarts(l.Game())[0];
  EXPECT_EQ(shell.showMode, SW_SHOW);
  EXPECT_EQ(game.showMode, SW_SHOWMAXIMIZED);
  long long key = KeyIn(shell.params, L"360 hide cmd");
  ASSERT_GE(key, l.before);
  EXPECT_EQ(shell.params, L"360 hide cmd" + std::to_wstring(key));
  EXPECT_EQ(KeyIn(game.params, L" cmdKey:"), key);
  // Started in this order: the shell, then the game client.
  std::string log = support::ReadTestLog();
  size_t shellAt = log.find("StartProcess exepath=" + base::Utf8(l.Shell()));
  size_t gameAt = log.find("StartProcess exepath=" + base::Utf8(l.Game()));
  ASSERT_NE(shellAt, std::string::npos) << log;
  ASSERT_NE(gameAt, std::string::npos) << log;
  EXPECT_LT(shellAt, gameAt);
}

TEST(LoadState, EmptyUserInfoStartsOnlyTheShellWithThePlatform) {
  for (bool weiduanShortcut : {false, true}) {
    Launch l(L"load-nouser");
    l.config.weiduanShortcut = weiduanShortcut;
    l.PlacePrograms();
    ASSERT_TRUE(l.Run());
    ASSERT_TRUE(e2e::WaitForStarts(l.Shell(), 1, kStartTimeoutMs));
    e2e::GameStart shell = e2e::RecordedStarts(l.Shell())[0];
    EXPECT_EQ(shell.params, L"360");
    EXPECT_EQ(shell.showMode, SW_SHOW);
    std::string log = support::ReadTestLog();
    EXPECT_EQ(log.find("LaunchGameStart"), std::string::npos);
    Sleep(500);
    EXPECT_TRUE(e2e::RecordedStarts(l.Game()).empty());
  }
}

TEST(LoadState, NoShellNameStartsNothingAndStillCompletes) {
  Launch l(L"load-noshell");
  l.config.weiduanShell.clear();
  ASSERT_TRUE(l.Run());
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("no micro-client shell configured, not started"), std::string::npos) << log;
  EXPECT_EQ(log.find("StartProcess exepath="), std::string::npos) << log;
}

TEST(LoadState, ElevatedShellStillStartsAndTheGameIsNotElevated) {
  Launch l(L"load-admin");
  l.config.userInfo = L"uid=1";
  l.config.weiduanShortcut = true;
  l.config.weiduanNeedAdmin = true;
  l.PlacePrograms();
  ASSERT_TRUE(l.Run());
  ASSERT_TRUE(e2e::WaitForStarts(l.Game(), 1, kStartTimeoutMs));
  ASSERT_TRUE(e2e::WaitForStarts(l.Shell(), 1, kStartTimeoutMs)) << support::ReadTestLog();
  EXPECT_EQ(e2e::RecordedStarts(l.Shell())[0].params.compare(0, 12, L"360 hide cmd"), 0);
}

TEST(LoadState, MissingGameClientStillCompletesTheRun) {
  Launch l(L"load-missing");
  l.config.userInfo = L"uid=1";
  ASSERT_TRUE(l.Run());
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("StartProcess exepath=" + base::Utf8(l.Game())), std::string::npos) << log;
  EXPECT_NE(log.find("StartProcess failed error="), std::string::npos) << log;
}

namespace {

std::vector<int> Sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST(LoadState, ReportsLaunchStartAndOkOrFailed) {
  ASSERT_NE(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
  const struct {
    const wchar_t* name;
    const wchar_t* userInfo;  // none: only the shell starts, and nothing is reported
    bool programsPlaced;
    std::vector<int> events;
  } rows[] = {
      {L"ok", L"uid=1", true, {25, 26}},
      {L"missing", L"uid=1", false, {25, 27}},
      {L"nouser", L"", true, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(base::Utf8(row.name));
    const std::string path = "/qos/zip-launch-" + base::Utf8(row.name);
    Launch l(std::wstring(L"load-qos-") + row.name);
    l.config.userInfo = row.userInfo;
    if (row.programsPlaced) l.PlacePrograms();
    e2e::ReportQosTo(l.qos, path);
    ASSERT_TRUE(l.Run());
    if (row.events.empty()) {
      ASSERT_TRUE(e2e::WaitForStarts(l.Shell(), 1, kStartTimeoutMs));
      EXPECT_TRUE(e2e::QosEventsAt(path, 1, 1500).empty());
    } else {
      EXPECT_EQ(Sorted(e2e::QosEventsAt(path, 2, 10000)), row.events);
    }
  }
}

// The shell was checked when it was downloaded; by the launch it may have been
// replaced (another account, or malware of the player's own that waited for
// the elevated start). It is hashed again right before it starts.
TEST(LoadState, AShellThatIsNoLongerThePublishedOneStartsNothing) {
  struct Row {
    const char* what;
    std::wstring userInfo;
    bool shellReplaced;
  } rows[] = {
      {"with a user, shell replaced", L"uid=1", true},
      {"without a user, shell replaced", L"", true},
      {"with a user, shell as published", L"uid=1", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Launch l(L"load-shell-checked");
    l.config.userInfo = row.userInfo;
    l.config.weiduanShortcut = true;
    l.config.weiduanNeedAdmin = true;
    l.PlacePrograms();
    Sha256Digest digest;
    std::string error;
    ASSERT_TRUE(Sha256OfFile(l.Shell(), &digest, &error)) << error;
    l.config.weiduanSha256 = Sha256Text(digest);
    if (row.shellReplaced) {
      std::string bytes = support::ReadFileBytes(l.Shell());
      bytes.back() ^= 1;
      ASSERT_TRUE(support::WriteFileBytes(l.Shell(), bytes));
    }
    ASSERT_TRUE(l.RunUntilReplaced(new LoadState(&l.context), 5000));
    if (!row.shellReplaced) {
      EXPECT_NE(dynamic_cast<CompleteState*>(l.context.state.get()), nullptr);
      EXPECT_TRUE(e2e::WaitForStarts(l.Shell(), 1, kStartTimeoutMs));
      EXPECT_TRUE(e2e::WaitForStarts(l.Game(), 1, kStartTimeoutMs));
      continue;
    }
    auto* refused = dynamic_cast<ErrorState*>(l.context.state.get());
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->Message().rfind("下载微端失败！[error:checksum mismatch, expected " + l.config.weiduanSha256 +
                                           ", got ",
                                       0),
              0u)
        << refused->Message();
    Sleep(1000);
    EXPECT_TRUE(e2e::RecordedStarts(l.Shell()).empty());
    EXPECT_TRUE(e2e::RecordedStarts(l.Game()).empty());
    EXPECT_EQ(support::ReadTestLog().find("StartProcess exepath="), std::string::npos);
  }
}
