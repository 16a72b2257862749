#include "game_publication.h"

#include <cstdlib>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/game_server.h"
#include "test_game.h"
#include "support/installation.h"
#include "support/native_tool.h"
#include "support/zip_writer.h"

namespace e2e {

std::vector<int> ReportIds() {
  std::vector<int> ids;
  for (const std::string& line : gameserver::QosLines())
    ids.push_back(std::atoi(gameserver::QosField(line, "T").c_str()));
  return ids;
}

std::vector<std::string> ReportsWithId(int eventId) {
  std::vector<std::string> out;
  for (const std::string& line : gameserver::QosLines())
    if (gameserver::QosField(line, "T") == std::to_string(eventId)) out.push_back(line);
  return out;
}

bool ResetServer() { return gameserver::Get("/__control/reset?logs=1"); }

void Unpublish(const std::string& path) {
  std::wstring full = gameserver::ServerRoot() + base::ToWide(path);
  for (wchar_t& c : full)
    if (c == L'/') c = L'\\';
  DeleteFileW(full.c_str());
}

// ---- The workflow fixture ----

void WorkflowTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  installName = std::string("VornE2E_") + info->test_suite_name() + "_" + info->name();
  // A parameterised test's names carry "/", which no folder name may.
  for (char& c : installName)
    if (c == '/') c = '_';
  wideInstallName = base::ToWide(installName);
  ASSERT_GT(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
  ASSERT_TRUE(ResetServer()) << "the local game server does not answer";

  // The launcher looks under D: first; only the application-data folder may hold ours.
  RemoveTree(L"D:\\" + wideInstallName);
  RemoveTree(InstallDir().substr(0, InstallDir().size() - 1));
  DeleteRegistryTree(HKEY_CLASSES_ROOT, wideInstallName);
  ForgetInstallation(wideInstallName);
  DeleteFileW((TempFolder() + L"/vorn-logo.png").c_str());

  gameExe = ReadFileBytes(TestGameExe());
  ASSERT_FALSE(gameExe.empty());

  const std::string base = gameserver::ServerUrl("");
  config = {
      {"installName", installName},
      {"tokensvr", base + "/" + installName + "/replies/"},
      {"minverUrl", base + VersionPath()},
      {"pkgUrl", base + "/" + installName + "/game-%d.zip"},
      {"pkgName", "game"},
      {"weiduanShell", "shell.exe"},
      {"launcherLogo", base + "/" + installName + "/logo.png"},
      {"qosUrl", base + "/qos"},
  };
  logoBytes = MakePng(24, 24, 0xFF3080F0u);
  ASSERT_FALSE(logoBytes.empty());
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/logo.png", logoBytes));
}

void WorkflowTest::TearDown() {
  DeleteRegistryTree(HKEY_CLASSES_ROOT, wideInstallName);
  ForgetInstallation(wideInstallName);
}

void WorkflowTest::PublishConfig() {
  std::string text = "[common]\n";
  for (const auto& kv : config) text += kv.first + "=" + kv.second + "\n";
  ASSERT_TRUE(gameserver::Publish("/pkg/vorn_install_cfg.ini", text));
}

void WorkflowTest::PublishReply(const std::string& token, const std::string& reply) {
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/replies/" + token, reply));
}

std::string WorkflowTest::VersionPath() const { return "/" + installName + "/pkg.ver"; }

std::string WorkflowTest::PackagePath(int version) const {
  return "/" + installName + "/game-" + std::to_string(version) + ".zip";
}

void WorkflowTest::PublishServerVersion(const std::string& text) {
  ASSERT_TRUE(gameserver::Publish(VersionPath(), text));
}

void WorkflowTest::PublishPackage(int version, size_t dataSize) {
  packageData = gameserver::TestBytes(dataSize, static_cast<unsigned>(version));
  ZipItem data = FileItem("game/data.bin", packageData);
  data.deflate = false;  // keeps the archive as large as the data, for the resume test
  std::string zip = BuildZip({DirItem("game/"), FileItem("game/game.exe", gameExe), data});
  ASSERT_TRUE(gameserver::Publish(PackagePath(version), zip));
}

void WorkflowTest::PublishPackageFiles(int version, const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<ZipItem> items;
  for (const auto& file : files) {
    bool folder = !file.first.empty() && file.first.back() == '/';
    items.push_back(folder ? DirItem(file.first) : FileItem(file.first, file.second));
  }
  ASSERT_TRUE(gameserver::Publish(PackagePath(version), BuildZip(items)));
}

void WorkflowTest::RunPublishCheckWrite() {
  std::string output;
  int code = support::RunNativeTool(VORN_PUBLISH_CHECK_EXE, {"--write", gameserver::Env("VORN_SERVER_ROOT")}, &output);
  ASSERT_EQ(code, 0) << output;
  std::string text;
  ASSERT_TRUE(base::ReadWholeFile(gameserver::ServerRoot() + L"\\pkg\\vorn_install_cfg.ini", text));
  // The fixture writes one "common" section of key=value lines.
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq != std::string::npos && line[0] != '[' && line[0] != '#' && line[0] != ';')
      config[line.substr(0, eq)] = line.substr(eq + 1);
    at = end + 1;
  }
}

void WorkflowTest::UseMicroClientMode() {
  config["weiduanShortcut"] = "1";
  config["weiduanUrl"] = gameserver::ServerUrl("/" + installName + "/shell.exe");
  config["weiduanCfgUrl"] = gameserver::ServerUrl("/" + installName + "/shell.cfg");
  config["weiduanCfg"] = "shell.cfg";
  config["weiduanVer"] = "3";
  config["weiduanName"] = installName;
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/shell.exe", gameExe));
  ASSERT_TRUE(gameserver::Publish("/" + installName + "/shell.cfg", "[shell]\n"));
}

std::wstring WorkflowTest::InstallDir() const {
  return RoamingAppData() + L"\\" + wideInstallName + L"\\";
}

void WorkflowTest::PrepareInstallFolder(const std::string* localVersion, bool recorded) {
  std::wstring dir = InstallDir();
  ASSERT_EQ(base::CreateDirectoryTree(dir + L"game"), 0u);
  ASSERT_TRUE(base::WriteWholeFile(dir + L"game\\game.exe", gameExe));
  ASSERT_TRUE(base::WriteWholeFile(dir + L"shell.exe", gameExe));
  if (localVersion) {
    ASSERT_TRUE(base::WriteWholeFile(dir + L"pkg.ver", *localVersion));
  }
  if (recorded) RecordInstallation(wideInstallName, dir);
}

RunResult WorkflowTest::Run(const std::wstring& exeName, const std::wstring& commandLine,
                            const std::wstring& exePath) {
  RunResult result;
  LauncherRun run;
  launcherDir = ScratchDir(L"workflow");
  for (const auto& file : besideLauncher)
    EXPECT_TRUE(CopyFileW(file.second.c_str(), (launcherDir + L"\\" + file.first).c_str(), FALSE))
        << base::Utf8(file.first);
  if (!run.Start(launcherDir, exeName, commandLine, exePath)) {
    ADD_FAILURE() << "cannot copy and start the launcher as " << base::Utf8(exeName) << ": " << run.StartFailure();
    return result;
  }
  result.boxes = run.RunToEnd(120000, &result.exitCode);
  result.ended = run.WaitExit(0, &result.exitCode);
  result.log = ReadLog();
  return result;
}

std::wstring WorkflowTest::ChosenDir(const std::string& log) {
  return base::ToWide(LoggedAfter(log, "SetInstallDir:"));
}

}  // namespace e2e
