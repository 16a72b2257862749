#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <vector>

#include "base/log.h"
#include "base/fs.h"
#include "base/text.h"
#include "install/drive_queries.h"
#include "install/folder_ownership.h"
#include "install/install_config.h"
#include "install/install_id_file.h"
#include "install/install_record.h"
#include "install/tree_removal.h"
#include "support/registry.h"
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
  std::string OwnershipRefusal(const std::wstring& dir) override {
    auto it = foreign.find(Lower(dir));
    return it == foreign.end() ? std::string() : it->second;
  }
  bool HoldsInstallationFiles(const std::wstring& dir) override { return !notInstallations.count(Lower(dir)); }
  std::string ReadInstallId(const std::wstring& dir) override {
    auto it = ids.find(Lower(dir));
    return it == ids.end() ? std::string() : it->second;
  }
  bool WriteInstallId(const std::wstring& dir, const std::string& id) override {
    ids[Lower(dir)] = id;
    return true;
  }
  std::string NewInstallId() override { return std::string(31, '0') + static_cast<char>('a' + madeIds++); }
  bool ReadRecord(const std::wstring& installName, InstallRecord& out) override {
    auto it = records.find(installName);
    if (it == records.end()) return false;
    out = it->second;
    return true;
  }
  bool WriteRecord(const std::wstring& installName, const InstallRecord& record) override {
    records[installName] = record;
    return true;
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
  std::map<std::wstring, std::string> foreign;  // folders not this user's own, with the reason
  std::set<std::wstring> notInstallations;       // folders without pkg.ver, weiduan.ver or Uninstall.ini
  std::map<std::wstring, std::string> ids;       // install.id of a folder
  std::map<std::wstring, InstallRecord> records;  // by installName
  int madeIds = 0;
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

TEST_F(InstallDir, ExistingFolderIsAdoptedOnlyOnAFixedDriveWhenOwnedAndAnInstallation) {
  // Each row: a folder under d:\ that is passed over, for the reason logged;
  // the search goes on and the application-data folder is created instead.
  struct Row {
    const char* what;
    unsigned dType;
    bool installation;
    const char* foreignReason;
    const char* logged;
  } rows[] = {
      {"removable drive", DRIVE_REMOVABLE, true, nullptr, "it is not on a fixed drive"},
      {"network drive", DRIVE_REMOTE, true, nullptr, "it is not on a fixed drive"},
      {"optical drive", DRIVE_CDROM, true, nullptr, "it is not on a fixed drive"},
      {"another account's folder", DRIVE_FIXED, true, "it is owned by S-1-5-21-9", "it is owned by S-1-5-21-9"},
      {"writable by others", DRIVE_FIXED, true, "S-1-5-11 may change it", "S-1-5-11 may change it"},
      {"a folder that merely shares the name", DRIVE_FIXED, false, nullptr, "it holds no installation"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeDrives machine;
    machine.appData = fake.appData;
    machine.drives[L"d:\\"] = {row.dType, 5 * kGiB};
    machine.drives[L"c:\\"] = {DRIVE_FIXED, 5 * kGiB};
    machine.folders = {L"d:\\vorngame\\"};
    machine.ids[L"d:\\vorngame\\"] = "planted";
    if (!row.installation) machine.notInstallations.insert(L"d:\\vorngame\\");
    if (row.foreignReason) machine.foreign[L"d:\\vorngame\\"] = row.foreignReason;
    SetDriveQueriesForTest(&machine);
    support::OpenTestLog(support::ScratchDir(L"install_dir"));
    InstallConfig c;
    c.installName = L"VornGame";
    ASSERT_TRUE(c.InitInstallDir());
    EXPECT_EQ(c.installDir, kAppDataDir);
    // On a fixed D: the creation finds the folder there and goes on.
    ASSERT_FALSE(machine.createCalls.empty());
    EXPECT_EQ(machine.createCalls.back(), kAppDataDir);
    EXPECT_TRUE(Logged(std::string("InitInstallDir :: d:\\VornGame\\ not used: ") + row.logged))
        << support::ReadTestLog();
    // Nothing was written into the folder, and the record names the new one.
    EXPECT_EQ(machine.ids[L"d:\\vorngame\\"], "planted");
    ASSERT_EQ(machine.records.count(L"VornGame"), 1u);
    EXPECT_EQ(machine.records[L"VornGame"].installDir, kAppDataDir);
  }
}

TEST_F(InstallDir, AdoptedAndCreatedFoldersGetAnIdAndARecord) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 5 * kGiB};
  // An earlier launcher's installation: no record, no id.
  fake.folders = {FakeDrives::Lower(kAppDataDir)};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, kAppDataDir);
  ASSERT_EQ(fake.records.count(L"VornGame"), 1u);
  const InstallRecord adopted = fake.records[L"VornGame"];
  EXPECT_EQ(adopted.installDir, kAppDataDir);
  EXPECT_EQ(adopted.installId.size(), 32u);
  EXPECT_EQ(fake.ids[FakeDrives::Lower(kAppDataDir)], adopted.installId);

  // A new installation under another name on D:.
  InstallConfig other;
  other.installName = L"Other";
  ASSERT_TRUE(other.InitInstallDir());
  EXPECT_EQ(other.installDir, L"d:\\Other\\");
  ASSERT_EQ(fake.records.count(L"Other"), 1u);
  EXPECT_EQ(fake.records[L"Other"].installDir, L"d:\\Other\\");
  EXPECT_EQ(fake.ids[L"d:\\other\\"], fake.records[L"Other"].installId);
  EXPECT_NE(fake.records[L"Other"].installId, adopted.installId);
}

TEST_F(InstallDir, TheRecordDecidesOverAFolderPlantedOnAnEarlierRoot) {
  fake.drives[L"d:\\"] = {DRIVE_FIXED, 5 * kGiB};
  fake.drives[L"c:\\"] = {DRIVE_FIXED, 5 * kGiB};
  const std::string id(32, '7');
  fake.records[L"VornGame"] = {id, kAppDataDir};
  fake.ids[FakeDrives::Lower(kAppDataDir)] = id;
  // Planted later on D:, searched first, and (as wine reports) owned by the player.
  fake.folders = {L"d:\\vorngame\\", FakeDrives::Lower(kAppDataDir)};
  ASSERT_TRUE(config.InitInstallDir());
  EXPECT_EQ(config.installDir, kAppDataDir);
  EXPECT_TRUE(fake.createCalls.empty());
  EXPECT_EQ(fake.ids.count(L"d:\\vorngame\\"), 0u) << "nothing is written into the planted folder";
  EXPECT_EQ(fake.records[L"VornGame"].installId, id);
}

TEST_F(InstallDir, ARecordThatNoLongerHoldsIsNotFollowed) {
  // Each row spoils the recorded folder; the search then runs as without a record.
  struct Row {
    const char* what;
    std::wstring recorded;
    bool exists;
    bool link;
    std::string idInFolder;
    const char* logged;
  } rows[] = {
      {"folder gone", kAppDataDir, false, false, "", "it is gone"},
      {"other id", kAppDataDir, true, false, std::string(32, '1'), "its install id does not match the record"},
      {"no id file", kAppDataDir, true, false, "", "its install id does not match the record"},
      {"a link now", kAppDataDir, true, true, std::string(32, '7'), "it is a link"},
      {"another name", L"C:\\users\\p\\Documents\\", true, false, std::string(32, '7'),
       "its name is not installName"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    FakeDrives machine;
    machine.appData = fake.appData;
    machine.drives[L"c:\\"] = {DRIVE_FIXED, 5 * kGiB};
    machine.records[L"VornGame"] = {std::string(32, '7'), row.recorded};
    if (row.exists) machine.folders.insert(FakeDrives::Lower(row.recorded));
    if (row.link) machine.links.insert(FakeDrives::Lower(row.recorded));
    if (!row.idInFolder.empty()) machine.ids[FakeDrives::Lower(row.recorded)] = row.idInFolder;
    SetDriveQueriesForTest(&machine);
    support::OpenTestLog(support::ScratchDir(L"install_dir"));
    InstallConfig c;
    c.installName = L"VornGame";
    c.InitInstallDir();
    EXPECT_TRUE(Logged("InitInstallDir :: recorded " + base::Utf8(row.recorded) + " not used: " + row.logged))
        << support::ReadTestLog();
  }
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
  // Made private to the player, with its id and the user's record of it.
  EXPECT_EQ(FolderOwnershipRefusal(first.installDir), "");
  InstallRecord record;
  ASSERT_TRUE(ReadInstallRecord(first.installName, &record));
  EXPECT_EQ(record.installDir, first.installDir);
  EXPECT_EQ(ReadInstallIdFile(first.installDir), record.installId);
  InstallConfig second;
  second.installName = first.installName;
  ASSERT_TRUE(second.InitInstallDir());
  EXPECT_EQ(second.installDir, first.installDir);
  EXPECT_EQ(RemoveDirectoryTree(first.installDir), 0u);
  support::DeleteRegistryTree(HKEY_CURRENT_USER, InstallRecordKeyPath(first.installName));
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
  EXPECT_TRUE(Logged("InitInstallDir :: d:\\VornGame\\ not used: it is a link")) << support::ReadTestLog();
  // Alone, it is not created over either: creation reports it as existing.
  fake.folders = {L"d:\\vorngame\\"};
  InstallConfig again;
  again.installName = L"VornGame";
  ASSERT_TRUE(again.InitInstallDir());
  EXPECT_EQ(again.installDir, kAppDataDir);
}

TEST(InstallDirReal, AnInstallationIsAFolderWithAFileTheLauncherAlwaysLeaves) {
  IDriveQueries& real = CurrentDriveQueries();
  struct Row {
    const wchar_t* file;  // null: an empty folder
    bool asFolder;
    bool installation;
  } rows[] = {
      {nullptr, false, false},          {L"pkg.ver", false, true},      {L"weiduan.ver", false, true},
      {L"Uninstall.ini", false, true},  {L"install.id", false, true},   {L"pkg.ver", true, false},
      {L"notes.txt", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(base::Utf8(row.file ? row.file : L"(empty)"));
    std::wstring dir = support::ScratchDir(L"installation files") + L"\\";
    if (row.file && row.asFolder) ASSERT_EQ(base::CreateDirectoryTree(dir + row.file), 0u);
    if (row.file && !row.asFolder) ASSERT_TRUE(base::WriteWholeFile(dir + row.file, "x"));
    EXPECT_EQ(real.HoldsInstallationFiles(dir), row.installation);
  }
}
