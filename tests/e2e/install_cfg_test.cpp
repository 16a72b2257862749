// The first state of a run against the local game server: the install
// configuration is fetched, parsed and applied, "Tokenstart" is reported and
// the install folder is chosen on the D: that scripts/env.sh maps for tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/fs.h"
#include "base/text.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/launcher_harness.h"
#include "support/log_reader.h"
#include "support/remove_tree.h"
#include "support/scratch_folder.h"

using support::LauncherRun;
using support::ReadFileBytes;
using support::RemoveTree;

namespace {

std::wstring ConfigPath() { return gameserver::ServerRoot() + L"\\pkg\\vorn_install_cfg.ini"; }
std::wstring ServerLog(const wchar_t* name) { return gameserver::ServerLogs() + L"\\" + name; }
std::string QosUrl() { return gameserver::ServerUrl("/qos"); }

// Runs that get past the configuration go on through the later states. These
// keys, put in front of a test's own text, make those states end at once: the
// logo, the micro-client and the user info fail on the local server (an empty
// URL would be retried for a minute), and a launch finds no program (an empty
// shell name would open the install folder in a window that outlives the test).
std::string QuickEnd() {
  const std::string server = gameserver::ServerUrl("");
  return "[common]\nlauncherLogo=" + server + "/pkg/no-logo.png\ntokensvr=" + server +
         "/token?token=\nweiduanUrl=" + server + "/pkg/no-shell.exe\nweiduanCfgUrl=" + server +
         "/pkg/no-shell.ini\nweiduanShell=vorn-no-shell.exe\n";
}


class InstallCfg : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(gameserver::Env("VORN_SERVER_ROOT").empty()) << "run through ctest: the game_server fixture";
    ASSERT_EQ(GetDriveTypeW(L"d:\\"), static_cast<UINT>(DRIVE_FIXED))
        << "scripts/env.sh maps the prefix's D: to <build>/drive_d";
    ASSERT_TRUE(base::WriteWholeFile(ServerLog(L"qos.log"), ""));
    ASSERT_TRUE(base::WriteWholeFile(ServerLog(L"requests.log"), ""));
  }
  void TearDown() override { DeleteFileW(ConfigPath().c_str()); }

  void Publish(const std::string& text) { PublishRaw(QuickEnd() + text); }
  void PublishRaw(const std::string& text) { ASSERT_TRUE(base::WriteWholeFile(ConfigPath(), text)); }

  // Runs the launcher to its end, pressing OK on every message box.
  std::vector<std::wstring> Run(const std::wstring& exeName) {
    LauncherRun run;
    EXPECT_TRUE(run.Start(support::ScratchDir(L"cfg"), exeName)) << run.StartFailure();
    DWORD code = 1;
    std::vector<std::wstring> boxes = run.RunToEnd(60000, &code);
    EXPECT_EQ(code, 0u);
    log = support::ReadLog();
    return boxes;
  }
  bool Logged(const std::string& line) const { return support::Logged(log, line); }

  std::string log;
};

}  // namespace

TEST_F(InstallCfg, CommonSectionAloneFillsTheConfiguration) {
  RemoveTree(L"d:\\VornCfgCommon");
  Publish("[common]\ninstallName=VornCfgCommon\nqosUrl=" + QosUrl() + "\n");
  Run(L"vorn-pc-tok.exe");
  EXPECT_TRUE(Logged("enter DownloadConfig succ")) << log;
  EXPECT_TRUE(Logged("qosUrl: " + QosUrl())) << log;
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornCfgCommon\\")) << log;
  EXPECT_TRUE(Logged("DownloadInstallCfgState::NextState...")) << log;
  // The request carried the time parameter.
  std::string requests = ReadFileBytes(ServerLog(L"requests.log"));
  EXPECT_NE(requests.find("/pkg/vorn_install_cfg.ini?v="), std::string::npos) << requests;
  RemoveTree(L"d:\\VornCfgCommon");
}

TEST_F(InstallCfg, PlatformSectionOverridesButEmptyValueDoesNotClear) {
  RemoveTree(L"d:\\VornCfgPc");
  Publish(
      "[common]\r\ninstallName=VornCfgCommon\r\nqosUrl=" + QosUrl() + "\r\n"
      "[pc]\r\ninstallName=VornCfgPc\r\nqosUrl=\r\n"
      "[other]\r\ninstallName=VornCfgOther\r\n");
  Run(L"vorn-pc-tok.exe");
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornCfgPc\\")) << log;
  EXPECT_TRUE(Logged("qosUrl: " + QosUrl())) << log;
  RemoveTree(L"d:\\VornCfgPc");
}

TEST_F(InstallCfg, QosUrlSendsTokenstartAndItsAbsenceSendsNothing) {
  Publish("[common]\ninstallName=VornCfgQos\n");
  Run(L"vorn-pc-tok.exe");
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornCfgQos\\")) << log;
  EXPECT_EQ(log.find("qosUrl: "), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(ServerLog(L"qos.log")), "");

  Publish("[common]\ninstallName=VornCfgQos\n[pc]\nqosUrl=" + QosUrl() + "\n");
  Run(L"vorn-pc-tok.exe");
  // Reports are sent in the background; the run lasts long enough for this one.
  std::string reports = ReadFileBytes(ServerLog(L"qos.log"));
  EXPECT_NE(reports.find("\tT=3\t"), std::string::npos) << reports;
  EXPECT_NE(reports.find("\tEVENT=Tokenstart\t"), std::string::npos) << reports;
  RemoveTree(L"d:\\VornCfgQos");
}

TEST_F(InstallCfg, MissingConfigurationShowsTheDownloadError) {
  DeleteFileW(ConfigPath().c_str());
  std::vector<std::wstring> boxes = Run(L"vorn-pc-tok.exe");
  ASSERT_EQ(boxes.size(), 1u) << log;
  const std::string prefix = "下载配置失败！[error:http response failed, isrun:1, res:NULL, status: 404, url: " +
                             std::string(VORN_CONFIG_URL) + "?v=";
  std::string text = base::Utf8(boxes[0]);
  ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
  std::string rest = text.substr(prefix.size());
  ASSERT_GE(rest.size(), 2u);
  EXPECT_EQ(rest.back(), ']');
  EXPECT_EQ(rest.find_first_not_of("0123456789"), rest.size() - 1) << "the time in seconds: " << text;
  EXPECT_TRUE(Logged(text)) << "the message is logged as shown";
  EXPECT_EQ(log.find("InitInstallDir"), std::string::npos);
}

TEST_F(InstallCfg, ConnectionDroppedOnceIsRetriedButAStatusIsNot) {
  ASSERT_TRUE(gameserver::ResetFaults());
  Publish("[common]\ninstallName=VornCfgRetry\n");
  ASSERT_TRUE(gameserver::AddFault("/pkg/vorn_install_cfg.ini", "drop_after=3"));
  std::vector<std::wstring> boxes = Run(L"vorn-pc-tok.exe");
  EXPECT_NE(log.find("enter DownloadConfig succ"), std::string::npos) << log;
  EXPECT_EQ(gameserver::Requests("/pkg/vorn_install_cfg.ini").size(), 2u);
  for (const std::wstring& box : boxes)
    EXPECT_EQ(base::Utf8(box).find("下载配置失败"), std::string::npos) << base::Utf8(box);

  // An answer with an error status ends the run at once, as before.
  ASSERT_TRUE(base::WriteWholeFile(ServerLog(L"requests.log"), ""));
  ASSERT_TRUE(gameserver::AddFault("/pkg/vorn_install_cfg.ini", "status=503"));
  boxes = Run(L"vorn-pc-tok.exe");
  ASSERT_EQ(boxes.size(), 1u) << log;
  EXPECT_EQ(base::Utf8(boxes[0]).rfind("下载配置失败！[error:http response failed", 0), 0u)
      << base::Utf8(boxes[0]);
  EXPECT_EQ(gameserver::Requests("/pkg/vorn_install_cfg.ini").size(), 1u);
  RemoveTree(L"d:\\VornCfgRetry");
}

TEST_F(InstallCfg, BadLineShowsTheParseError) {
  Publish("[common]\ninstallName=VornCfgBad\nqosUrl = " + QosUrl() + "\n");
  std::vector<std::wstring> boxes = Run(L"vorn-pc-tok.exe");
  ASSERT_EQ(boxes.size(), 1u) << log;
  EXPECT_EQ(base::Utf8(boxes[0]), "解析安装配置失败！[error:error format: qosUrl = " + QosUrl() + "]");
  // A rejected file is not applied at all.
  EXPECT_EQ(log.find("InitInstallDir"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(ServerLog(L"qos.log")), "");
}

TEST_F(InstallCfg, BodyIsCutAtAZeroByte) {
  RemoveTree(L"d:\\VornCfgZero");
  std::string text = "[common]\ninstallName=VornCfgZero\n";
  text += '\0';
  text += " not a valid line\n";
  Publish(text);
  std::vector<std::wstring> boxes = Run(L"vorn-pc-tok.exe");
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornCfgZero\\")) << log;
  for (const std::wstring& box : boxes) EXPECT_EQ(box.find(L"解析安装配置失败"), std::wstring::npos);
  RemoveTree(L"d:\\VornCfgZero");
}

TEST_F(InstallCfg, EmptyConfigurationHasNoInstallFolder) {
  // Without installName the folder would be the drive root itself.
  PublishRaw("");
  std::vector<std::wstring> boxes = Run(L"vorn-pc-tok.exe");
  ASSERT_EQ(boxes.size(), 1u) << log;
  EXPECT_EQ(boxes[0], L"创建本地游戏文件夹失败！");
  EXPECT_TRUE(Logged("InitInstallDir")) << log;
  EXPECT_EQ(log.find("SetInstallDir:"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(ServerLog(L"qos.log")), "");
}

TEST_F(InstallCfg, InstallFolderIsCreatedOnDAndFoundAgain) {
  const std::wstring dir = L"d:\\VornCfgInstall";
  RemoveTree(dir);
  Publish("[common]\ninstallName=VornCfgInstall\n");
  Run(L"vorn-pc-tok.exe");
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornCfgInstall\\")) << log;
  EXPECT_EQ(log.find("exist: "), std::string::npos) << log;
  EXPECT_TRUE(base::DirectoryExists(dir));

  Run(L"vorn-pc-tok.exe");
  EXPECT_TRUE(Logged("exist: d:\\VornCfgInstall\\")) << log;
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornCfgInstall\\")) << log;
  RemoveTree(dir);
}

TEST_F(InstallCfg, WeiduanShortcutOnlyForExactlyOne) {
  // The flag shows in the branch the next state takes: without a token, the
  // micro-client branch goes on, the normal one stops with "can't config token".
  struct Case {
    const char* value;
    bool weiduan;
  };
  for (const Case& c : {Case{"1", true}, Case{"0", false}, Case{"yes", false}, Case{"", false}}) {
    SCOPED_TRACE(c.value);
    Publish(std::string("[common]\ninstallName=VornCfgWeiduan\nweiduanShortcut=1\n[pc]\nweiduanShortcut=") +
            c.value + "\n");
    std::vector<std::wstring> boxes = Run(L"vorn-pc.exe");
    ASSERT_TRUE(Logged("enter download launcher logo state")) << log;
    // An empty platform value leaves the "common" value 1 in place.
    bool weiduan = c.weiduan || c.value[0] == '\0';
    bool tokenError = false;
    for (const std::wstring& box : boxes) tokenError |= box == L"can't config token";
    EXPECT_EQ(tokenError, !weiduan) << log;
    EXPECT_EQ(Logged("enter download weiduan state"), weiduan) << log;
  }
  RemoveTree(L"d:\\VornCfgWeiduan");
}

TEST_F(InstallCfg, NamesThatWouldLeaveTheInstallFolderAreRefused) {
  // Each is pasted into a path below the install folder (or the desktop);
  // none may point elsewhere, and nothing is chosen, written or started.
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"weiduanShell", "..\\..\\Users\\Public\\x.exe"},
      {"pkgName", "..\\pkg"},
      {"weiduanCfg", "C:\\Windows\\win.ini"},
      {"weiduanName", "..\\Game"},
      {"installName", "nul"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    Publish(std::string("[common]\ninstallName=VornCfgNames\n[pc]\n") + c.key + "=" + c.value + "\n");
    std::vector<std::wstring> boxes = Run(L"vorn-pc-tok.exe");
    ASSERT_EQ(boxes.size(), 1u) << log;
    EXPECT_EQ(base::Utf8(boxes[0]),
              std::string("解析安装配置失败！[error:bad ") + c.key + ": " + c.value + "]");
    EXPECT_EQ(log.find("InitInstallDir"), std::string::npos) << log;
  }
  EXPECT_FALSE(base::PathExists(L"d:\\VornCfgNames"));
}
