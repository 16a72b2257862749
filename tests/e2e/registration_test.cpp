// The logo state as a player meets it: the logo on the splash, the URL
// protocol registered once, the plug-in of a launcher that carries one, and
// the token check that decides how the run goes on.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "game_publication.h"
#include "support/wine_path.h"

namespace e2e {
namespace {

const std::string kServerVersion = "105";

std::wstring CommandKey(const std::wstring& installName) {
  return installName + L"\\shell\\open\\command";
}

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

std::wstring PluginFolder() { return RoamingAppData() + L"\\kzplugin"; }

size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Registration : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    // Up to date, so each run goes from the logo straight to the launch.
    PrepareInstallFolder(&kServerVersion);
    PublishServerVersion(kServerVersion);
    PublishReply("tok", "uid=1&skey=s");
    RemoveTree(PluginFolder());
  }
};

TEST_F(Registration, ProtocolCommandStartsTheLauncherCopyInTheInstallFolder) {
  PublishConfig();
  RunResult run = Run(L"vorn-360-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());

  RegistryValue protocol = ReadRegistryValue(HKEY_CLASSES_ROOT, wideInstallName, L"URL Protocol");
  ASSERT_TRUE(protocol.found) << run.log;
  EXPECT_EQ(protocol.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(protocol.data.size(), 0u);

  RegistryValue command = ReadRegistryValue(HKEY_CLASSES_ROOT, CommandKey(wideInstallName), L"");
  ASSERT_TRUE(command.found);
  EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
  std::wstring expected = L"\"" + InstallDir() + L"vorn-360.exe\" \"%1\"";
  // The launcher hands over the characters without a terminating zero; the
  // registry stores one zero after a string that lacks it.
  EXPECT_EQ(base::Utf8(command.Text()), base::Utf8(expected));

  // The shipped launcher carries no plug-in: nothing is written or loaded.
  EXPECT_FALSE(base::PathExists(PluginFolder()));
  EXPECT_EQ(run.log.find("ie game plugin reg succ"), std::string::npos);
  EXPECT_EQ(run.log.find("failed, rt:"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("enter get user login info state"), std::string::npos);
}

TEST_F(Registration, ExistingProtocolKeyIsLeftAsItIs) {
  base::UniqueKey key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, wideInstallName.c_str(), key.Put()), ERROR_SUCCESS);
  key.Reset();
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe", L"", WinePath(VORN_PLUGIN_LAUNCHER_EXE));
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty());

  EXPECT_FALSE(ReadRegistryValue(HKEY_CLASSES_ROOT, wideInstallName, L"URL Protocol").found);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, wideInstallName + L"\\shell"));
  // Not even a launcher that carries the plug-in registers it then.
  EXPECT_FALSE(base::PathExists(PluginFolder()));
  // The token still decides the successor.
  EXPECT_NE(run.log.find("enter get user login info state"), std::string::npos) << run.log;
}

TEST_F(Registration, MicroClientModeRegistersNothingAndNeedsNoToken) {
  UseMicroClientMode();
  PublishConfig();
  RunResult run = Run(L"vorn-pc.exe", L"", WinePath(VORN_PLUGIN_LAUNCHER_EXE));
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(std::count(run.boxes.begin(), run.boxes.end(), L"can't config token"), 0);
  EXPECT_EQ(run.log.find("can't config token"), std::string::npos);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, wideInstallName));
  EXPECT_FALSE(base::PathExists(PluginFolder()));
  EXPECT_NE(run.log.find("enter download launcher logo state"), std::string::npos) << run.log;
}

TEST_F(Registration, TestBuildWritesThePluginAndCallsItsExportOnce) {
  PublishConfig();
  const std::wstring launcher = WinePath(VORN_PLUGIN_LAUNCHER_EXE);
  const std::wstring dll = PluginFolder() + L"\\DeRazoDidivoVA.dll";
  const std::wstring calls = dll + L".calls";

  RunResult first = Run(L"vorn-pc-tok.exe", L"", launcher);
  ASSERT_TRUE(first.ended);
  EXPECT_TRUE(first.boxes.empty());
  EXPECT_EQ(ReadFileBytes(dll), ReadFileBytes(WinePath(VORN_TEST_PLUGIN_DLL)));
  std::string called = ReadFileBytes(calls);
  // One line: the path the plug-in was loaded from.
  EXPECT_EQ(CountOf(called, "\n"), 1u) << called;
  EXPECT_EQ(Lower(base::ToWide(called)), Lower(dll + L"\n"));
  EXPECT_EQ(CountOf(first.log, "ie game plugin reg succ"), 1u) << first.log;
  // The protocol step follows the plug-in step.
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CommandKey(wideInstallName)));

  // The protocol key now exists: a second run registers nothing, the plug-in included.
  RunResult second = Run(L"vorn-pc-tok.exe", L"", launcher);
  ASSERT_TRUE(second.ended);
  EXPECT_EQ(ReadFileBytes(calls), called);
  EXPECT_EQ(second.log.find("ie game plugin reg succ"), std::string::npos);
}

TEST_F(Registration, TwoWordNameStopsWithCantConfigTokenAfterRegistering) {
  PublishConfig();
  RunResult run = Run(L"vorn-pc.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0], L"can't config token");
  EXPECT_EQ(run.log.find("enter get user login info state"), std::string::npos);
  // Registration comes before the token check.
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CommandKey(wideInstallName)));
}

TEST_F(Registration, FailedLogoChangesNothingElse) {
  PublishConfig();
  const std::wstring logoFile = TempFolder() + L"/vorn-logo.png";
  RunResult good = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(good.ended);
  // The temporary folder ends in a backslash; the logo name brings its own slash.
  EXPECT_EQ(ReadFileBytes(logoFile), logoBytes);
  RegistryValue goodCommand = ReadRegistryValue(HKEY_CLASSES_ROOT, CommandKey(wideInstallName), L"");
  ASSERT_TRUE(goodCommand.found);

  DeleteRegistryTree(HKEY_CLASSES_ROOT, wideInstallName);
  DeleteFileW(logoFile.c_str());
  Unpublish("/" + installName + "/logo.png");
  RunResult failed = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(failed.ended);
  EXPECT_NE(failed.log.find("status: 404"), std::string::npos) << failed.log;
  EXPECT_FALSE(base::PathExists(logoFile));

  EXPECT_EQ(failed.boxes, good.boxes);
  EXPECT_EQ(StatesEntered(failed.log), StatesEntered(good.log));
  RegistryValue failedCommand = ReadRegistryValue(HKEY_CLASSES_ROOT, CommandKey(wideInstallName), L"");
  ASSERT_TRUE(failedCommand.found);
  EXPECT_EQ(failedCommand.data, goodCommand.data);

  // A configuration without a logo fetches nothing and goes on the same way.
  DeleteRegistryTree(HKEY_CLASSES_ROOT, wideInstallName);
  config.erase("launcherLogo");
  PublishConfig();
  DWORD start = GetTickCount();
  RunResult none = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(none.ended);
  EXPECT_LT(GetTickCount() - start, 30000u) << "no minute of retries for a logo that is not there";
  EXPECT_EQ(none.log.find("agent:download launcher logo"), std::string::npos) << none.log;
  EXPECT_FALSE(base::PathExists(logoFile));
  EXPECT_EQ(none.boxes, good.boxes);
  EXPECT_EQ(StatesEntered(none.log), StatesEntered(good.log));
}

}  // namespace
}  // namespace e2e
