#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <vector>

#include "base/log.h"
#include "base/fs.h"
#include "install/drive_queries.h"
#include "install/install_config.h"
#include "support/log_reader.h"
#include "support/scratch_folder.h"

namespace {

constexpr uint64_t kGiB = 1ull << 30;
constexpr uint64_t kMiB = 1ull << 20;

struct Drive {
  unsigned type = DRIVE_NO_ROOT_DIR;
  uint64_t freeBytes = 0;
  bool freeQueryFails = false;
};

// A machine made of drive letters, an application-data folder and folders;
// keys are lower case so "d:\" and "D:\" are the same drive.
class FakeDrives : public IDriveQueries {
 public:
  bool AppDataFolder(std::wstring& folder) override {
    if (appData.empty()) return false;
    folder = appData;
    return true;
  }
  unsigned DriveType(const std::wstring& root) override {
    typeQueries.push_back(root);
    auto it = drives.find(Lower(root));
    return it == drives.end() ? DRIVE_NO_ROOT_DIR : it->second.type;
  }
  bool FreeBytes(const std::wstring& path, uint64_t& bytes) override {
    auto it = drives.find(Lower(RootPathOf(path)));
    if (it == drives.end() || it->second.freeQueryFails) return false;
    bytes = it->second.freeBytes;
    return true;
  }
  bool FolderExists(const std::wstring& path) override { return folders.count(Lower(path)) > 0; }
  bool IsReparsePoint(const std::wstring& path) override { return links.count(Lower(path)) > 0; }
  unsigned long CreateFolderTree(const std::wstring& path, bool& created) override {
    createCalls.push_back(path);
    created = false;
    auto failure = createErrors.find(Lower(path));
    if (failure != createErrors.end()) return failure->second;
    if (folders.count(Lower(path))) return 0;
    folders.insert(Lower(path));
    created = true;
    return 0;
  }

  static std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = towlower(c);
    return s;
  }

  std::wstring appData;
  std::map<std::wstring, Drive> drives;
  std::set<std::wstring> folders;
  std::set<std::wstring> links;  // folders that are junctions or links
  std::map<std::wstring, unsigned long> createErrors;
  std::vector<std::wstring> createCalls;
  std::vector<std::wstring> typeQueries;
};

class InstallDir : public ::testing::Test {
 protected:
  void SetUp() override {
    support::OpenTestLog(support::ScratchDir(L"install_dir"));
    SetDriveQueriesForTest(&fake);
    config.installName = L"VornGame";
    fake.appData = L"C:\\users\\p\\AppData\\Roaming";
  }
  void TearDown() override { SetDriveQueriesForTest(nullptr); }

  bool Logged(const std::string& line) { return support::Logged(support::ReadTestLog(), line); }

  FakeDrives fake;
  InstallConfig config;
};

const std::wstring kAppDataDir = L"C:\\users\\p\\AppData\\Roaming\\VornGame\\";

}  // namespace

TEST_F(InstallDir, ExistingFolderIsTakenInListOrder) {
  fake.drives[L"e:\\"] = {DRIVE_FIXED, 100 * kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 100 * kGiB};
  fake.folders = {L"e:\\vorngame\\", FakeDrives::Lower(kAppDataDir)};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, kAppDataDir);
  EXPECT_TRUE(fake.createCalls.empty());
  EXPECT_TRUE(Logged("InitInstallDir"));
  EXPECT_TRUE(Logged("exist: C:\\users\\p\\AppData\\Roaming\\VornGame\\"));
  EXPECT_TRUE(Logged("SetInstallDir:C:\\users\\p\\AppData\\Roaming\\VornGame\\"));
}

TEST_F(InstallDir, ExistingFolderOnAnyDriveTypeIsTaken) {
  for (unsigned type : {DRIVE_REMOVABLE, DRIVE_REMOTE, DRIVE_CDROM}) {
    fake.drives[L"d:\\"] = {type, 0};
    fake.folders = {L"d:\\vorngame\\"};
    InstallConfig c;
    c.installName = L"VornGame";
    ASSERT_TRUE(c.InitInstallDir()) << type;
    EXPECT_EQ(c.installDir, L"d:\\VornGame\\");
  }
  EXPECT_TRUE(fake.typeQueries.empty()) << "the first pass asks nothing about drives";
}

TEST_F(InstallDir, NewFolderOnDWhenItHasRoom) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 2 * kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 50 * kGiB};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, L"d:\\VornGame\\");
  EXPECT_EQ(fake.createCalls, std::vector<std::wstring>{L"d:\\VornGame\\"});
  EXPECT_TRUE(Logged("SetInstallDir:d:\\VornGame\\"));
  EXPECT_FALSE(Logged("exist: d:\\VornGame\\"));
}

TEST_F(InstallDir, ExactlyOneGiBIsEnough) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 50 * kGiB};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, L"d:\\VornGame\\");

  InstallConfig other;
  other.installName = L"Other";
  fake.drives[L"d:\\"] = {DRIVE_FIXED, kGiB - 1};
  ASSERT_TRUE(other.InitInstallDir());
  EXPECT_EQ(other.installDir, L"C:\\users\\p\\AppData\\Roaming\\Other\\");
}

TEST_F(InstallDir, SmallDGivesWayToApplicationData) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 500 * kMiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 10 * kGiB};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, kAppDataDir);
  EXPECT_EQ(fake.createCalls, std::vector<std::wstring>{kAppDataDir});
  // The drive type is asked of the application-data folder's root, not the folder.
  EXPECT_NE(std::find(fake.typeQueries.begin(), fake.typeQueries.end(), L"C:\\"),
            fake.typeQueries.end());
}

TEST_F(InstallDir, ThirdPassTakesTheFirstFixedCandidateWithoutRoom) {
  fake.appData = L"\\\\server\\home\\Roaming";
  fake.drives[L"\\\\server\\home\\"] = {DRIVE_REMOTE, 90 * kGiB};
  fake.drives[L"d:\\"] = {DRIVE_CDROM, 90 * kGiB};
  fake.drives[L"e:\\"] = {DRIVE_FIXED, 100 * kMiB};
  fake.drives[L"f:\\"] = {DRIVE_FIXED, 0, true};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, L"e:\\VornGame\\");
  EXPECT_EQ(fake.createCalls, std::vector<std::wstring>{L"e:\\VornGame\\"});
}

TEST_F(InstallDir, CreationFailureIsLoggedAndTheNextCandidateTried) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.createErrors[L"d:\\vorngame\\"] = ERROR_ACCESS_DENIED;
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, kAppDataDir);
  EXPECT_TRUE(Logged("InitInstallDir :: makeDir errcode: 5"));
}

TEST_F(InstallDir, NoFixedCandidateFails) {
  fake.appData = L"\\\\server\\home\\Roaming";
  fake.drives[L"\\\\server\\home\\"] = {DRIVE_REMOTE, 90 * kGiB};
  EXPECT_FALSE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, L"");
  EXPECT_TRUE(fake.createCalls.empty());
}

TEST_F(InstallDir, EveryCreationFailingFails) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.createErrors[L"d:\\vorngame\\"] = ERROR_FILE_EXISTS;
  fake.appData.clear();  // SHGetFolderPathW failed: the candidate is left out
  EXPECT_FALSE(config.InitInstallDir());
  // Pass 2 and pass 3 each try D: once.
  EXPECT_EQ(fake.createCalls.size(), 2u);
  EXPECT_EQ(config.installDir, L"");
}

TEST_F(InstallDir, NameThatIsNotOneFolderIsRefused) {
  // Such a name would make a drive root or the application-data folder itself
  // the install folder, which uninstalling deletes as a whole.
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.folders = {L"d:\\", L"d:\\\\", L"c:\\users\\p\\appdata\\"};
  for (const wchar_t* name : {L"", L".", L"..", L"a\\b", L"..\\..", L"x/y", L"C:x", L"nul", L"x."}) {
    InstallConfig c;
    c.installName = name;
    EXPECT_FALSE(c.InitInstallDir());
    EXPECT_EQ(c.installDir, L"");
  }
  EXPECT_TRUE(fake.createCalls.empty());
}

TEST(InstallDirPaths, NamesInsideTheInstallFolder) {
  InstallConfig c;
  c.installDir = L"d:\\VornGame\\";
  c.pkgName = L"vorn";
  c.platform = L"pc";
  c.weiduanShell = L"shell.exe";
  c.weiduanCfg = L"shell.ini";
  EXPECT_EQ(c.GetPkgVerPath(), L"d:\\VornGame\\pkg.ver");
  EXPECT_EQ(c.GetPkgDownloadPath(), L"d:\\VornGame\\vorn.pkg.downloading");
  EXPECT_EQ(c.GetPkgExePath(), L"d:\\VornGame\\vorn\\vorn.exe");
  EXPECT_EQ(c.GetLauncherPath(), L"d:\\VornGame\\vorn-pc.exe");
  EXPECT_EQ(c.GetWeiduanShellPath(), L"d:\\VornGame\\shell.exe");
  EXPECT_EQ(c.GetWeiduanCfgPath(), L"d:\\VornGame\\shell.ini");
  EXPECT_EQ(c.GetWeiduanVerPath(), L"d:\\VornGame\\weiduan.ver");
}

TEST(InstallDirPaths, RootOfAPath) {
  EXPECT_EQ(RootPathOf(L"d:\\"), L"d:\\");
  EXPECT_EQ(RootPathOf(L"C:\\users\\p\\AppData\\Roaming\\"), L"C:\\");
  EXPECT_EQ(RootPathOf(L"\\\\server\\home\\Roaming\\"), L"\\\\server\\home\\");
  EXPECT_EQ(RootPathOf(L"\\\\server\\home"), L"\\\\server\\home\\");
}

TEST(InstallDirReal, CreatesAndFindsAFolderOnThisMachine) {
  // Through the real queries: wine's C: is a fixed drive, so the folder ends
  // up under D: when the prefix maps one, else under application data.
  InstallConfig first;
  first.installName = L"vorn-unit-install-dir";
  ASSERT_TRUE(first.InitInstallDir());
  ASSERT_FALSE(first.installDir.empty());
  EXPECT_EQ(first.installDir.back(), L'\\');
  EXPECT_TRUE(base::DirectoryExists(first.installDir));
  InstallConfig second;
  second.installName = first.installName;
  ASSERT_TRUE(second.InitInstallDir());
  EXPECT_EQ(second.installDir, first.installDir);
  RemoveDirectoryW(first.installDir.c_str());
}

TEST(InstallDirReal, AFileIsNotAnExistingInstallation) {
  // A file that happens to carry the installation's name must not become the
  // install folder: the first pass looks for folders only.
  const std::wstring temp = support::TempFolder();
  std::wstring file = temp + L"vorn-unit-not-a-folder";
  ASSERT_TRUE(base::WriteWholeFile(file, "x"));
  IDriveQueries& real = CurrentDriveQueries();
  EXPECT_FALSE(real.FolderExists(file + L"\\"));
  EXPECT_TRUE(real.FolderExists(temp));
  bool created = true;
  EXPECT_NE(real.CreateFolderTree(file + L"\\", created), 0ul);
  EXPECT_FALSE(created);
  DeleteFileW(file.c_str());
}

TEST_F(InstallDir, ExistingFolderThatIsALinkIsPassedOver) {
  // A junction named like the installation could point it, and later the
  // uninstaller, anywhere; the next existing folder is taken instead.
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.folders = {L"d:\\vorngame\\", FakeDrives::Lower(kAppDataDir)};
  fake.links = {L"d:\\vorngame\\"};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, kAppDataDir);
  EXPECT_TRUE(Logged("InitInstallDir :: d:\\VornGame\\ is a link, not used")) << support::ReadTestLog();
  // Alone, it is not created over either: creation reports it as existing.
  fake.folders = {L"d:\\vorngame\\"};
  InstallConfig again;
  again.installName = L"VornGame";
  ASSERT_TRUE(again.InitInstallDir());
  EXPECT_EQ(again.installDir, kAppDataDir);
}
