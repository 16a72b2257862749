// The list of installed files across whole-package installs and updates, as
// a player meets them: the launcher run to its end against the local game
// server, the install folder looked at afterwards.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/sha256.h"
#include "base/text.h"
#include "game_publication.h"
#include "install/installed_files.h"
#include "unpack/package_manifest.h"
#include "support/files.h"
#include "support/game_server.h"

namespace e2e {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

class PackageAcrossRuns : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    PublishReply("tok", "uid=1&skey=s");
    config["pkgKeepLocal"] = "config/*";
  }
  // One launcher run that must end without a message box.
  void RunLauncher() {
    RunResult run = Run(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    ASSERT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  }
  // "name size sha256" per line of "pkg.files".
  std::vector<std::string> Ledger() const {
    InstalledFiles ledger;
    std::string error;
    EXPECT_TRUE(ReadInstalledFilesFile(InstallDir() + L"pkg.files", &ledger, &error)) << error;
    std::vector<std::string> out;
    for (const InstalledFile& file : ledger.files)
      out.push_back(file.name + " " + std::to_string(file.size) + " " + Sha256Text(file.sha256));
    return out;
  }
  // What the list must say of `files` (folders left out).
  static std::vector<std::string> LinesOf(const Files& files) {
    std::vector<std::string> out;
    for (const auto& file : files) {
      if (!file.first.empty() && file.first.back() == '/') continue;
      Sha256Digest digest{};
      std::string error;
      EXPECT_TRUE(Sha256OfBytes(file.second, &digest, &error)) << error;
      out.push_back(file.first + " " + std::to_string(file.second.size()) + " " + Sha256Text(digest));
    }
    return out;
  }
  std::string Read(const std::wstring& rel) const { return support::ReadFileBytes(InstallDir() + rel); }
  uint64_t WriteTime(const std::wstring& rel) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW((InstallDir() + rel).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  }
  Files Version105() const {
    return {{"game/", ""},
            {"game/game.exe", gameExe},
            {"game/data/level1.dat", gameserver::TestBytes(70000, 1)},
            {"game/data/old.dat", "dropped in 106"},
            {"config/settings.ini", "[video]\r\nwidth=1280\r\n"}};
  }
  Files Version106() const {
    return {{"game/", ""},
            {"game/game.exe", gameExe},
            {"game/data/level1.dat", gameserver::TestBytes(70000, 2)},
            {"game/data/new.dat", "new in 106"},
            {"config/settings.ini", "[video]\r\nwidth=1920\r\n"}};
  }
};

// The install of 105 lists every file, before "pkg.ver". Then 105 -> 106 by
// the whole package (no manifest published): the dropped file goes, a file
// of the player's that no list names stays, and so does the player's own
// copy of a kept-local file; the rest is as 106 installs it.
TEST_F(PackageAcrossRuns, AWholePackageUpdateDeletesDroppedFilesAndLeavesThePlayersAlone) {
  PrepareInstallFolder(nullptr);
  PublishPackageFiles(105, Version105());
  PublishServerVersion("105");
  PublishConfig();
  RunLauncher();
  ASSERT_EQ(Read(L"pkg.ver"), "105");
  EXPECT_EQ(Ledger(), LinesOf(Version105()));
  EXPECT_NE(WriteTime(L"pkg.files"), 0u);
  EXPECT_LT(WriteTime(L"pkg.files"), WriteTime(L"pkg.ver")) << "pkg.files comes first";
  ASSERT_TRUE(base::WriteWholeFile(InstallDir() + L"config\\settings.ini", "[video]\r\nwidth=2560\r\n"));
  ASSERT_EQ(base::CreateDirectoryTree(InstallDir() + L"game\\screenshots"), 0u);
  ASSERT_TRUE(base::WriteWholeFile(InstallDir() + L"game\\screenshots\\shot1.png", "the player's picture"));

  PublishPackageFiles(106, Version106());
  PublishServerVersion("106");
  RunLauncher();
  EXPECT_EQ(Read(L"pkg.ver"), "106");
  EXPECT_FALSE(base::PathExists(InstallDir() + L"game\\data\\old.dat"));
  EXPECT_EQ(Read(L"game\\data\\new.dat"), "new in 106");
  EXPECT_TRUE(Read(L"game\\data\\level1.dat") == gameserver::TestBytes(70000, 2));
  EXPECT_EQ(Read(L"game\\screenshots\\shot1.png"), "the player's picture");
  EXPECT_EQ(Read(L"config\\settings.ini"), "[video]\r\nwidth=2560\r\n");
  Files listed = Version106();
  listed.back().second = "[video]\r\nwidth=2560\r\n";  // the player's copy, as it is
  EXPECT_EQ(Ledger(), LinesOf(listed));
  // The package came whole, once per version.
  std::vector<gameserver::RequestLine> requests = gameserver::Requests(PackagePath(106));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].status, 200);
}

// The two sides of an update by entries must name and hash every file alike:
// the manifest the operator's publish-check writes and the list the launcher
// keeps after unpacking the same package, with names written with
// backslashes, beyond ASCII, and cleaned of a drive.
TEST_F(PackageAcrossRuns, ThePublishedManifestAndTheInstalledListAgreeOnEveryFile) {
  PrepareInstallFolder(nullptr);
  Files files = {{"game/", ""},
                 {"game/game.exe", gameExe},
                 {"game\\sub\\win.txt", "written with backslashes"},
                 {"game/\xE5\x9C\xB0\xE5\x9B\xBE/map.dat", gameserver::TestBytes(9000, 3)},
                 {"C:\\readme.txt", "readme"},
                 {"game/empty.txt", ""}};
  PublishPackageFiles(105, files);
  PublishServerVersion("105");
  PublishConfig();
  RunPublishCheckWrite();
  ASSERT_EQ(config["pkgManifestSha256"].size(), 64u) << "publish-check wrote no manifest checksum";
  ASSERT_EQ(config["pkgSha256"].size(), 64u);
  std::string text;
  ASSERT_TRUE(base::ReadWholeFile(gameserver::ServerRoot() + base::ToWide(PackagePath(105)) + L".manifest", text));
  PackageManifest manifest;
  std::string error;
  ASSERT_TRUE(ParseManifest(text, &manifest, &error)) << error;
  std::vector<std::string> published;
  for (const ManifestEntry& entry : manifest.entries)
    published.push_back(entry.name + " " + std::to_string(entry.size) + " " + Sha256Text(entry.sha256));

  RunLauncher();
  EXPECT_EQ(Read(L"pkg.ver"), "105");
  EXPECT_EQ(Ledger(), published);
  EXPECT_EQ(Read(L"game\\sub\\win.txt"), "written with backslashes");
  EXPECT_EQ(Read(L"readme.txt"), "readme");
}

}  // namespace
}  // namespace e2e
