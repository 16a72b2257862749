#pragma once
// A game publication on the local game server (the "game_server" CTest
// fixture) and the player's machine around one launcher run: configuration,
// token replies, version text and package on the server side; install folder,
// registry and screen on the player's side.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "state_driver.h"
#include "support/launcher_harness.h"
#include "support/registry.h"
#include "support/remove_tree.h"
#include "support/screen_capture.h"

namespace e2e {

// Event ids of the statistics reports the server received, in arrival order.
std::vector<int> ReportIds();
// The reports (tab-separated fields) with event id `eventId`.
std::vector<std::string> ReportsWithId(int eventId);
// Drops every queued fault and empties the server's logs.
bool ResetServer();
// Removes a file of the publish folder ("/dir/file").
void Unpublish(const std::string& path);

// ---- One launcher run against a fresh publication ----
struct RunResult {
  std::vector<std::wstring> boxes;  // texts of the message boxes, in order
  DWORD exitCode = 1;
  bool ended = false;
  std::string log;
};

class WorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the install configuration: `config` as its "common" section.
  void PublishConfig();
  // The token server's answer for `token` (tokensvr points at "replies/").
  void PublishReply(const std::string& token, const std::string& reply);
  // The server's package version text and the package of that version.
  void PublishServerVersion(const std::string& text);
  void PublishPackage(int version, size_t dataSize = 64 * 1024);
  // The package of `version` made of `files` ((name, bytes), in this order;
  // a name ending in "/" is a folder entry), published.
  void PublishPackageFiles(int version, const std::vector<std::pair<std::string, std::string>>& files);
  // Runs publish-check --write over the publish folder, as an operator does:
  // the checksums go into the configuration and the manifest beside the
  // package of the version the server names. `config` takes over every key
  // the tool wrote, so a later PublishConfig keeps them.
  void RunPublishCheckWrite();
  std::string PackagePath(int version) const;  // request path of a package
  std::string VersionPath() const;             // request path of the version text

  // Selects the micro-client mode, with the shell and its configuration published.
  void UseMicroClientMode();

  // The install folder as the launcher will pick it (an existing folder under
  // the application data), made beforehand with a local version file when
  // `localVersion` is given and with the game client and shell in place;
  // `recorded`: with the id and user's record that this launcher keeps of
  // its installations (an earlier launcher kept none).
  std::wstring InstallDir() const;
  void PrepareInstallFolder(const std::string* localVersion, bool recorded = true);

  // Copies the launcher (or `exePath`) as `exeName` into a scratch folder
  // (`launcherDir`), with `besideLauncher`, and runs it to its end, pressing
  // OK on every message box.
  RunResult Run(const std::wstring& exeName, const std::wstring& commandLine = L"",
                const std::wstring& exePath = L"");
  // What the stand-in shell in the install folder recorded of its starts.
  std::string ShellCommandLines() const { return ReadFileBytes(InstallDir() + L"shell.exe.cmdline.txt"); }
  // The install folder a run chose, from its log line "SetInstallDir:<path>".
  static std::wstring ChosenDir(const std::string& log);

  std::string installName;
  std::wstring wideInstallName;
  std::map<std::string, std::string> config;
  std::string packageData;  // the large file inside the last published package
  std::string gameExe;      // the stand-in game client's bytes
  std::string logoBytes;    // the published logo
  // Files put beside the launcher before a run: name there -> source path.
  std::vector<std::pair<std::wstring, std::wstring>> besideLauncher;
  std::wstring launcherDir;  // where the last run's launcher was
};

}  // namespace e2e
