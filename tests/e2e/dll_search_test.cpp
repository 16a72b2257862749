// Where the launcher looks for the system DLLs it uses. A player starts it
// from a downloads folder, where a web page may have dropped a file named
// like a system DLL; only the system's own may be loaded.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "game_publication.h"
#include "support/registry.h"
#include "support/wine_path.h"
#include "test_game.h"

namespace e2e {
namespace {

constexpr wchar_t kLauncherName[] = L"vorn-pc-tok.exe";
const std::wstring kAppDefaults = std::wstring(L"Software\\Wine\\AppDefaults\\") + kLauncherName;

// Wine prefers its own built-in DLLs; "native first" is Windows' order, in
// which a DLL in the program's folder wins unless the program prevents it.
// Set for the launcher's file name only, and in the registry: wine reads the
// environment's overrides from a process's start, not from its parent.
class NativeFirst {
 public:
  explicit NativeFirst(const wchar_t* dll) {
    base::UniqueKey key;
    std::wstring value = L"native,builtin";
    ok_ = RegCreateKeyExW(HKEY_CURRENT_USER, (kAppDefaults + L"\\DllOverrides").c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, key.Put(), nullptr) == ERROR_SUCCESS &&
          RegSetValueExW(key.Get(), dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  ~NativeFirst() { support::DeleteRegistryTree(HKEY_CURRENT_USER, kAppDefaults); }
  NativeFirst(const NativeFirst&) = delete;
  NativeFirst& operator=(const NativeFirst&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

class DllSearch : public WorkflowTest {};

// Each row plants one DLL under a system DLL's name. IPHLPAPI.DLL is the
// launcher's own (the adapter list of the reports); DHCPCSVC.DLL is loaded
// only by WinHTTP, late and on its own, when it looks for a proxy by
// automatic detection, as it does on every run.
TEST_F(DllSearch, DllPlantedBesideTheLauncherIsNotLoaded) {
  struct Row {
    const wchar_t* file;
    const wchar_t* overrideName;
  } rows[] = {{L"IPHLPAPI.DLL", L"iphlpapi"}, {L"DHCPCSVC.DLL", L"dhcpcsvc"}};
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  PublishPackage(105);
  PublishConfig();
  PublishReply("tok", "uid=1");
  size_t starts = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(base::Utf8(row.file));
    besideLauncher = {{row.file, support::WinePath(VORN_PLANTED_DLL)}};
    NativeFirst order(row.overrideName);
    ASSERT_TRUE(order.ok());
    RunResult run = Run(kLauncherName);
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty());
    // The adapter list was read (it makes the reports' run identity) ...
    EXPECT_NE(run.log.find("reportQos::sQosSeq:"), std::string::npos) << run.log;
    // ... and the proxy looked for by automatic detection ...
    EXPECT_NE(run.log.find("auto-detect 1"), std::string::npos) << run.log;
    // ... but not through the planted DLL, which leaves a mark when loaded.
    ASSERT_TRUE(base::PathExists(launcherDir + L"\\" + row.file));
    EXPECT_FALSE(base::PathExists(launcherDir + L"\\" + row.file + L".loaded"));
    std::wstring game = InstallDir() + L"game\\game.exe";
    EXPECT_TRUE(WaitForStarts(game, ++starts, 20000)) << run.log;
  }
}

}  // namespace
}  // namespace e2e
