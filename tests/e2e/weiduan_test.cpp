// The micro-client steps against the local game server: the shell and its
// configuration downloaded into the install folder, the version file, the
// registration, and the way on to the user info or the launch.
#include <gtest/gtest.h>

#include "workflow/terminal_states.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/sha256.h"
#include "base/text.h"
#include "install/registration.h"
#include "net/download_task.h"
#include "state_driver.h"
#include "support/game_server.h"
#include "support/registry.h"
#include "test_game.h"
#include "workflow/download_weiduan_cfg_state.h"
#include "workflow/download_weiduan_state.h"
#include "workflow/get_user_info_state.h"
#include "workflow/load_state.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
const std::string kShellPath = "/weiduan-e2e/wd.exe";
const std::string kCfgPath = "/weiduan-e2e/wd.cfg";
const std::wstring kUninstallEntry = std::wstring(kUninstallRegPath) + L"\\VornWeiduanE2E";

struct MicroClient : e2e::StateDriver {
  explicit MicroClient(const std::wstring& name) : StateDriver(name) {
    config.installName = L"VornWeiduanE2E";
    config.weiduanName = L"Vorn Weiduan E2E";
    config.weiduanCfg = L"wd.cfg";
    config.weiduanVer = L"3.1 β";
    config.platform = L"pc";
    config.weiduanUrl = gameserver::ServerUrl(kShellPath);
    config.weiduanCfgUrl = gameserver::ServerUrl(kCfgPath);
    support::OpenTestLog(scratch);
  }
  ~MicroClient() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallEntry.c_str());
    DeleteFileW(Link().c_str());
  }
  std::wstring Shell() const { return config.GetWeiduanShellPath(); }
  std::wstring Link() const { return DesktopFolder() + L"\\" + config.weiduanName + L".lnk"; }
  bool Registered() const {
    return support::KeyExists(HKEY_CURRENT_USER, kUninstallEntry) || base::PathExists(Link()) ||
           base::PathExists(config.installDir + L"Uninstall.ini");
  }
  // Ticks the current state until it has handed over.
  bool Step() {
    State* current = context.state.get();
    DWORD start = GetTickCount();
    while (context.state.get() == current) {
      if (GetTickCount() - start > kStepTimeoutMs) return false;
      Tick();
      if (context.state.get() == current) Sleep(5);
    }
    return true;
  }
  // Runs the shell step; true when it handed over to the configuration step.
  bool RunShellStep() {
    return RunUntilReplaced(new DownloadWeiduanState(&context), kStepTimeoutMs) &&
           dynamic_cast<DownloadWeiduanCfgState*>(context.state.get()) != nullptr;
  }
  std::string ErrorMessage() const {
    auto* error = dynamic_cast<ErrorState*>(context.state.get());
    return error ? error->Message() : "(no error state)";
  }

  DownloadTask& task = *(context.download = std::make_unique<DownloadTask>());
};

class Weiduan : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
    ASSERT_TRUE(gameserver::ResetFaults());
    shellBytes = gameserver::TestBytes(300000, 41);
    cfgBytes = "[shell]\r\nserver=127.0.0.1\r\n";
    ASSERT_TRUE(gameserver::Publish(kShellPath, shellBytes));
    ASSERT_TRUE(gameserver::Publish(kCfgPath, cfgBytes));
  }
  void TearDown() override { gameserver::ResetFaults(); }

  std::string shellBytes, cfgBytes;
};

}  // namespace

TEST_F(Weiduan, WithoutTokenBothFilesVersionAndRegistrationThenLaunch) {
  MicroClient m(L"weiduan plain");
  ASSERT_TRUE(support::WriteFileBytes(m.config.GetWeiduanVerPath(), "an older and longer version text"));
  // Slow enough that the step sees the download under way at least once.
  ASSERT_TRUE(gameserver::AddFault(kShellPath, "rate=1000000"));
  ASSERT_TRUE(m.RunShellStep()) << support::ReadTestLog();
  EXPECT_EQ(support::ReadFileBytes(m.Shell()), shellBytes);
  EXPECT_FALSE(m.page.progress.empty());
  // Registration waits for the configuration.
  EXPECT_FALSE(m.Registered());

  size_t progressCalls = m.page.progress.size();
  ASSERT_TRUE(gameserver::AddFault(kCfgPath, "delay_ms=300"));
  ASSERT_TRUE(m.Step());
  ASSERT_NE(dynamic_cast<LoadState*>(m.context.state.get()), nullptr) << support::ReadTestLog();
  EXPECT_EQ(support::ReadFileBytes(m.config.GetWeiduanCfgPath()), cfgBytes);
  // Exactly the version's UTF-8 bytes, replacing what was there.
  EXPECT_EQ(support::ReadFileBytes(m.config.GetWeiduanVerPath()), "3.1 \xCE\xB2");
  EXPECT_TRUE(m.Registered());
  // The configuration step paints without a progress bar.
  EXPECT_EQ(m.page.progress.size(), progressCalls);
  EXPECT_GT(m.page.redraws, 0);

  ASSERT_EQ(m.page.statusTexts.size(), 2u);
  EXPECT_EQ(m.page.statusTexts[0], L"正在下载微端资源，请稍后...");
  EXPECT_EQ(m.page.statusTexts[1], L"正在下载微端配置，请稍后...");
  std::string log = support::ReadTestLog();
  size_t shellAt = log.find("enter download weiduan state\n");
  size_t cfgAt = log.find("enter download weiduan cfg state\n");
  size_t linkAt = log.find("create destop link file result: " + base::Utf8(m.Link()) + "\n");
  ASSERT_NE(shellAt, std::string::npos) << log;
  ASSERT_NE(cfgAt, std::string::npos) << log;
  ASSERT_NE(linkAt, std::string::npos) << log;
  EXPECT_LT(shellAt, cfgAt);
  EXPECT_LT(cfgAt, linkAt);
}

TEST_F(Weiduan, WithTokenTheUserInfoComesNext) {
  MicroClient m(L"weiduan token");
  m.config.token = L"tok123";
  ASSERT_TRUE(m.RunShellStep());
  ASSERT_TRUE(m.Step());
  EXPECT_NE(dynamic_cast<GetUserInfoFromTokenState*>(m.context.state.get()), nullptr) << support::ReadTestLog();
  EXPECT_TRUE(m.Registered());
}

TEST_F(Weiduan, RunningShellIsEndedAndReplaced) {
  MicroClient m(L"weiduan running");
  ASSERT_TRUE(e2e::PlaceTestGame(m.Shell()));
  support::LauncherRun shell;
  ASSERT_TRUE(e2e::StartStayingGame(shell, m.Shell()));
  ASSERT_TRUE(m.RunShellStep()) << support::ReadTestLog();
  EXPECT_TRUE(shell.WaitExit(5000));
  EXPECT_EQ(support::ReadFileBytes(m.Shell()), shellBytes);
}

TEST_F(Weiduan, ShellInUseKeepsTheOldFileAndGoesOn) {
  MicroClient m(L"weiduan in use");
  ASSERT_TRUE(support::WriteFileBytes(m.Shell(), "old shell"));
  base::UniqueFile held(CreateFileW(m.Shell().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  ASSERT_TRUE(m.RunShellStep()) << m.ErrorMessage() << "\n" << support::ReadTestLog();
  EXPECT_EQ(m.task.errorCode, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
  held.Reset();
  EXPECT_EQ(support::ReadFileBytes(m.Shell()), "old shell");
}

TEST_F(Weiduan, ShellDownloadFailureShowsItsMessage) {
  MicroClient m(L"weiduan shell fails");
  ASSERT_TRUE(gameserver::AddFault(kShellPath, "status=404"));
  ASSERT_TRUE(m.RunUntilReplaced(new DownloadWeiduanState(&m.context), kStepTimeoutMs));
  ASSERT_FALSE(m.task.error.empty());
  EXPECT_EQ(m.ErrorMessage(), "下载微端失败！[error:" + m.task.error + "]");
  EXPECT_FALSE(m.Registered());
}

TEST_F(Weiduan, ConfigFailureShowsItsMessageEvenForAFileInUse) {
  // A configuration file in use is no excuse, unlike the shell.
  for (bool inUse : {false, true}) {
    SCOPED_TRACE(inUse ? "in use" : "404");
    MicroClient m(L"weiduan cfg fails");
    base::UniqueFile held;
    if (inUse) {
      ASSERT_TRUE(support::WriteFileBytes(m.config.GetWeiduanCfgPath(), "old"));
      held.Reset(CreateFileW(m.config.GetWeiduanCfgPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             0, nullptr));
      ASSERT_TRUE(held);
    } else {
      ASSERT_TRUE(gameserver::AddFault(kCfgPath, "status=404"));
    }
    ASSERT_TRUE(m.RunShellStep());
    ASSERT_TRUE(m.Step());
    ASSERT_FALSE(m.task.error.empty());
    EXPECT_EQ(m.ErrorMessage(), "下载微端配置失败！[error:" + m.task.error + "]");
    EXPECT_FALSE(m.Registered());
    EXPECT_EQ(GetFileAttributesW(m.config.GetWeiduanVerPath().c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

namespace {

std::string Sha256Hex(const std::string& bytes) {
  Sha256Digest digest;
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(bytes, &digest, &error)) << error;
  return Sha256Text(digest);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST_F(Weiduan, ChecksumsDecideWhetherTheNewFilesReplaceTheInstalledOnes) {
  {
    SCOPED_TRACE("matching shell and configuration");
    MicroClient m(L"weiduan sums match");
    ASSERT_TRUE(support::WriteFileBytes(m.Shell(), "old shell"));
    m.config.weiduanSha256 = Sha256Hex(shellBytes);
    m.config.weiduanCfgSha256 = Sha256Hex(cfgBytes);
    ASSERT_TRUE(m.RunShellStep()) << m.ErrorMessage();
    EXPECT_EQ(support::ReadFileBytes(m.Shell()), shellBytes);
    ASSERT_TRUE(m.Step());
    ASSERT_NE(dynamic_cast<LoadState*>(m.context.state.get()), nullptr) << m.ErrorMessage();
    EXPECT_EQ(support::ReadFileBytes(m.config.GetWeiduanCfgPath()), cfgBytes);
    std::string log = support::ReadTestLog();
    EXPECT_NE(log.find("checksum verified: sha256 " + m.config.weiduanSha256 + ", url: " + m.config.weiduanUrl),
              std::string::npos) << log;
  }
  {
    SCOPED_TRACE("wrong shell");
    MicroClient m(L"weiduan shell sum");
    ASSERT_TRUE(support::WriteFileBytes(m.Shell(), "old shell"));
    m.config.weiduanSha256 = Sha256Hex("the published shell");
    ASSERT_TRUE(m.RunUntilReplaced(new DownloadWeiduanState(&m.context), kStepTimeoutMs));
    EXPECT_EQ(m.ErrorMessage(), "下载微端失败！[error:checksum mismatch, expected " + m.config.weiduanSha256 +
                                    ", got " + Sha256Hex(shellBytes) + ", url: " + m.config.weiduanUrl + "]");
    EXPECT_EQ(support::ReadFileBytes(m.Shell()), "old shell");
    EXPECT_FALSE(Exists(m.Shell() + L".downloading"));
    EXPECT_FALSE(m.Registered());
  }
  {
    SCOPED_TRACE("wrong configuration");
    MicroClient m(L"weiduan cfg sum");
    ASSERT_TRUE(support::WriteFileBytes(m.config.GetWeiduanCfgPath(), "old cfg"));
    m.config.weiduanCfgSha256 = Sha256Hex("the published cfg");
    ASSERT_TRUE(m.RunShellStep());
    ASSERT_TRUE(m.Step());
    EXPECT_EQ(m.ErrorMessage(), "下载微端配置失败！[error:checksum mismatch, expected " + m.config.weiduanCfgSha256 +
                                    ", got " + Sha256Hex(cfgBytes) + ", url: " + m.config.weiduanCfgUrl + "]");
    EXPECT_EQ(support::ReadFileBytes(m.config.GetWeiduanCfgPath()), "old cfg");
    EXPECT_FALSE(Exists(m.config.GetWeiduanCfgPath() + L".downloading"));
    EXPECT_FALSE(Exists(m.config.GetWeiduanVerPath()));
    EXPECT_FALSE(m.Registered());
  }
}

TEST_F(Weiduan, InterruptedShellDownloadKeepsTheOldShell) {
  MicroClient m(L"weiduan interrupted");
  ASSERT_TRUE(support::WriteFileBytes(m.Shell(), "old shell"));
  // About three seconds for the whole shell: time to stop it half-way, as a
  // player who closes the launcher does.
  ASSERT_TRUE(gameserver::AddFault(kShellPath, "rate=100000"));
  m.context.state.reset(new DownloadWeiduanState(&m.context));
  DWORD start = GetTickCount();
  while (m.task.received.load() < 50000 && GetTickCount() - start < kStepTimeoutMs) {
    m.Tick();
    Sleep(5);
  }
  ASSERT_GE(m.task.received.load(), 50000);
  ASSERT_EQ(m.task.finished.load(), 0u);
  m.context.state.reset();  // stops the request and waits for it
  EXPECT_EQ(support::ReadFileBytes(m.Shell()), "old shell");

  // The next run replaces it whole.
  ASSERT_TRUE(m.RunShellStep()) << m.ErrorMessage();
  EXPECT_EQ(support::ReadFileBytes(m.Shell()), shellBytes);
  EXPECT_FALSE(Exists(m.Shell() + L".downloading"));
}
