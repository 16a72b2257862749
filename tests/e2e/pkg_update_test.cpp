// The update and the repair by entries as a player and an operator meet
// them: from 105 to 106 only the changed and added entries' bytes leave the
// server (counted in its access log), the folder ends as a fresh install of
// 106 would leave it, and the whole-package road takes over where the
// entries cannot be fetched. A killed update leaves every file old or new;
// an entry whose bytes differ from the manifest never lands; a file deleted
// or damaged on disk is fetched again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "base/fs.h"
#include "base/sha256.h"
#include "base/text.h"
#include "game_publication.h"
#include "install/installed_files.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/launcher_harness.h"
#include "support/log_reader.h"
#include "support/scratch_folder.h"
#include "support/wine_path.h"
#include "support/zip_writer.h"
#include "unpack/package_manifest.h"

namespace e2e {
namespace {

using Files = std::map<std::string, std::string>;  // name ('/' separated) -> bytes

Sha256Digest DigestOf(const std::string& bytes) {
  Sha256Digest digest{};
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(bytes, &digest, &error)) << error;
  return digest;
}

// Every file below `dir` by its '/' name, with its bytes.
Files FilesBelow(const std::wstring& dir) {
  Files files;
  for (const auto& item : support::TreeSnapshot(dir)) {
    if (!item.first.empty() && item.first.back() == L'\\') continue;  // a folder
    std::string name = base::Utf8(item.first);
    std::replace(name.begin(), name.end(), '\\', '/');
    files[name] = support::ReadFileBytes(dir + item.first);
  }
  return files;
}

// Whether the run logged "update by entries: <entries> entries, <planned> of
// <package bytes> bytes" with the package's data end as its size.
::testing::AssertionResult UpdatedByEntries(const std::string& log, size_t entries, const PackageManifest& manifest) {
  std::string rest = support::LoggedAfter(log, "update by entries: ");
  std::string head = std::to_string(entries) + " entries, ";
  std::string tail = " of " + std::to_string(manifest.DataEnd()) + " bytes";
  if (rest.compare(0, head.size(), head) == 0 && rest.size() > head.size() + tail.size() &&
      rest.compare(rest.size() - tail.size(), tail.size(), tail) == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "logged \"update by entries: " << rest << "\", expected " << entries
                                       << " entries of " << manifest.DataEnd() << " bytes";
}

// Whether a "bytes=a-b" range holds the entry's data.
bool Covers(const std::string& range, const ManifestEntry& entry) {
  unsigned long long first = 0, last = 0;
  if (sscanf(range.c_str(), "bytes=%llu-%llu", &first, &last) != 2) return false;
  return first <= entry.dataOffset && entry.dataOffset + entry.compressedSize <= last + 1;
}

// One answer of the server that serves the version, the package and its
// manifest, as its access log has it.
struct Served {
  int status = 0;
  long long bytes = -1;  // what the log counts: the body, or with nginx all bytes sent
  std::string range;     // "-" without one
  std::string ifRange;   // "-" without one; the game server's log only
  int peer = 0;          // the client's port; the game server's log only
};

// Where the version, the package and its manifest are published.
class Origin {
 public:
  virtual ~Origin() = default;
  virtual std::string Url(const std::string& path) const = 0;
  virtual bool Publish(const std::string& path, const std::string& bytes) = 0;
  // The answers to exactly `path`, oldest first.
  virtual std::vector<Served> Answers(const std::string& path) const = 0;
};

// The local game server: its requests log counts the bodies' lengths.
class GameServerOrigin : public Origin {
 public:
  std::string Url(const std::string& path) const override { return gameserver::ServerUrl(path); }
  bool Publish(const std::string& path, const std::string& bytes) override { return gameserver::Publish(path, bytes); }
  std::vector<Served> Answers(const std::string& path) const override {
    std::vector<Served> answers;
    for (const gameserver::RequestLine& line : gameserver::Requests(path))
      if (line.target == path)
        answers.push_back(Served{line.status, line.length == "-" ? -1 : std::atoll(line.length.c_str()), line.range,
                                 line.ifRange, line.peer});
    return answers;
  }
};

// nginx with the operator's configuration (docs/nginx.conf), started by
// tests/tools/update_nginx_test.sh: files below its /pkg/, and an access log
// with the bytes it really sent ($bytes_sent, headers included).
class NginxOrigin : public Origin {
 public:
  static bool Available() { return !gameserver::Env("VORN_NGINX_PORT").empty(); }
  std::string Url(const std::string& path) const override {
    return "http://127.0.0.1:" + gameserver::Env("VORN_NGINX_PORT") + "/pkg" + path;
  }
  bool Publish(const std::string& path, const std::string& bytes) override {
    std::wstring full = support::WinePath(gameserver::Env("VORN_NGINX_ROOT") + path);
    std::replace(full.begin(), full.end(), L'/', L'\\');
    base::CreateDirectoryTree(full.substr(0, full.rfind(L'\\')));
    return support::WriteFileBytes(full, bytes);
  }
  std::vector<Served> Answers(const std::string& path) const override {
    // '$remote_addr [$time_local] "$request" $status $bytes_sent $body_bytes_sent range="$http_range" ...'
    std::vector<Served> answers;
    std::string log = support::ReadFileBytes(support::WinePath(gameserver::Env("VORN_NGINX_LOG")));
    std::string request = "\"GET /pkg" + path + " HTTP/1.1\" ";
    for (const std::string& line : support::Lines(log)) {
      size_t at = line.find(request);
      if (at == std::string::npos) continue;
      Served served;
      long long body = 0;
      char range[256] = {};
      if (sscanf(line.c_str() + at + request.size(), "%d %lld %lld range=\"%255[^\"]\"", &served.status, &served.bytes,
                 &body, range) < 3)
        continue;
      served.range = range[0] ? range : "-";
      served.ifRange = "?";
      answers.push_back(served);
    }
    return answers;
  }
};

class PkgUpdate : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    PublishReply("tok", "uid=1&skey=s");
    // 105: a game, thirty data files, settings the game rewrites, and two
    // files 106 drops.
    for (int i = 0; i < 30; ++i)
      v105["game/data/part" + std::to_string(i) + ".bin"] = gameserver::TestBytes(24 * 1024 + 97 * i, 100 + i);
    v105["game/game.exe"] = gameExe;
    v105["config/settings.ini"] = "[video]\nwidth=1024\n";
    v105["game/old/retired.txt"] = "dropped in 106";
    v105["game/old/retired.bin"] = gameserver::TestBytes(9000, 7);
    // 106: two parts changed, two files added, two dropped, the settings
    // changed (the player's copy stays).
    v106 = v105;
    v106.erase("game/old/retired.txt");
    v106.erase("game/old/retired.bin");
    v106["game/data/part3.bin"] = gameserver::TestBytes(30 * 1024, 903);
    v106["game/data/part17.bin"] = gameserver::TestBytes(20 * 1024, 917);
    v106["game/new/added.bin"] = gameserver::TestBytes(15 * 1024, 950);
    v106["game/new/readme.txt"] = std::string(4000, 'r');
    v106["config/settings.ini"] = "[video]\nwidth=1920\n";
    config["pkgKeepLocal"] = "config/*";
    UseOrigin(std::make_unique<GameServerOrigin>());
  }

  // The version, the package and the manifest come from `served`; the
  // configuration always comes from the game server, whose publish folder
  // publish-check reads.
  void UseOrigin(std::unique_ptr<Origin> served) { origin = std::move(served); }
  void PublishVersion(const std::string& text) {
    versionText = text;
    ASSERT_TRUE(gameserver::Publish(VersionPath(), text));
  }

  // How the package's zip is laid out: what lies around each entry's data.
  struct Shape {
    const char* what = "plain";
    std::string localExtra;    // each local header's extra field
    std::string centralExtra;  // each central directory record's
    bool dataDescriptor = false;
    bool zip64 = false;
  };

  std::vector<ZipItem> ItemsOf(const Files& files) const {
    std::vector<ZipItem> items;
    for (const auto& file : files) {
      ZipItem item = FileItem(file.first, file.second);
      item.localExtra = shape.localExtra;
      item.centralExtra = shape.centralExtra;
      item.dataDescriptor = shape.dataDescriptor;
      items.push_back(item);
    }
    return items;
  }
  std::string ZipOf(const Files& files) const { return BuildZip(ItemsOf(files), shape.zip64); }

  // The bytes around an entry's data that a request for it may carry: the
  // local header (30 bytes, the name, the extra field, the zip64 sizes) and
  // a data descriptor.
  long long Around(const ManifestEntry& entry) const {
    long long bytes = 30 + static_cast<long long>(entry.name.size() + shape.localExtra.size());
    if (shape.zip64) bytes += 20;
    if (shape.dataDescriptor) bytes += shape.zip64 ? 24 : 16;
    return bytes;
  }

  // Publishes `manifestZip` as the package of `version` and runs
  // publish-check --write over the publication, as an operator does: the
  // manifest beside the package, its checksum in the configuration. Then
  // `zip` (other bytes only where a test tampers) is served in its place,
  // from the origin with the version and the manifest.
  PackageManifest PublishWithManifest(int version, const std::string& zip, const std::string& manifestZip) {
    PackageManifest manifest;
    EXPECT_TRUE(gameserver::Publish(PackagePath(version), manifestZip));
    config["minverUrl"] = gameserver::ServerUrl(VersionPath());
    config["pkgUrl"] = gameserver::ServerUrl("/" + installName + "/game-%d.zip");
    PublishConfig();
    RunPublishCheckWrite();
    std::wstring file = gameserver::ServerRoot() + base::ToWide(ManifestPath(version));
    std::replace(file.begin(), file.end(), L'/', L'\\');
    std::string text = support::ReadFileBytes(file);
    std::string error;
    EXPECT_TRUE(ParseManifest(text, &manifest, &error)) << error;
    EXPECT_EQ(config["pkgManifestSha256"], Sha256Text(DigestOf(text)));
    if (zip != manifestZip) {
      EXPECT_TRUE(gameserver::Publish(PackagePath(version), zip));
    }
    if (origin->Url(VersionPath()) != gameserver::ServerUrl(VersionPath())) {
      EXPECT_TRUE(origin->Publish(VersionPath(), versionText));
      EXPECT_TRUE(origin->Publish(PackagePath(version), zip));
      EXPECT_TRUE(origin->Publish(ManifestPath(version), text));
      config["minverUrl"] = origin->Url(VersionPath());
      config["pkgUrl"] = origin->Url("/" + installName + "/game-%d.zip");
    }
    return manifest;
  }
  PackageManifest PublishWithManifest(int version, const Files& files) {
    std::string zip = ZipOf(files);
    return PublishWithManifest(version, zip, zip);
  }
  std::string ManifestPath(int version) const { return PackagePath(version) + ".manifest"; }

  // The folder as an install of 105 left it, with its ledger, and the
  // player's own files beside the game's.
  void Install105() {
    std::string version = "105";
    PrepareInstallFolder(&version);
    InstalledFiles ledger;
    for (const auto& file : v105) {
      std::wstring path = InstallDir() + base::ToWide(file.first);
      std::replace(path.begin(), path.end(), L'/', L'\\');
      ASSERT_EQ(base::CreateDirectoryTree(path.substr(0, path.rfind(L'\\'))), 0u);
      ASSERT_TRUE(base::WriteWholeFile(path, file.second));
      ledger.files.push_back(InstalledFile{file.first, file.second.size(), DigestOf(file.second)});
    }
    std::string error;
    ASSERT_TRUE(WriteInstalledFilesFile(InstallDir() + L"pkg.files", ledger, &error)) << error;
    ASSERT_TRUE(base::WriteWholeFile(InstallDir() + L"config\\player.ini", "mine"));
    ASSERT_TRUE(base::WriteWholeFile(InstallDir() + L"game\\screenshots.txt", "also mine"));
  }

  // What the folder must hold after 106, game and player files alike: the
  // settings stay the player's (kept local).
  Files Expected106() const {
    Files files = v106;
    files["config/settings.ini"] = v105.at("config/settings.ini");
    files["config/player.ini"] = "mine";
    files["game/screenshots.txt"] = "also mine";
    files["shell.exe"] = gameExe;  // PrepareInstallFolder's stand-in
    return files;
  }

  // The folder's files without the launcher's own records and the stand-in
  // game's record of its start.
  Files GameFiles() const {
    Files files = FilesBelow(InstallDir());
    for (const char* own : {"pkg.ver", "pkg.files", "install.id", "game/game.exe.cmdline.txt"}) files.erase(own);
    return files;
  }

  void ExpectTreeIs106() {
    Files got = GameFiles();
    Files want = Expected106();
    std::set<std::string> gotNames, wantNames;
    for (const auto& f : got) gotNames.insert(f.first);
    for (const auto& f : want) wantNames.insert(f.first);
    for (const std::string& name : gotNames) EXPECT_TRUE(wantNames.count(name)) << name << " should not be there";
    for (const std::string& name : wantNames) EXPECT_TRUE(gotNames.count(name)) << name << " is missing";
    for (const auto& f : want) {
      auto it = got.find(f.first);
      if (it != got.end()) {
        EXPECT_TRUE(it->second == f.second) << f.first << " differs";
      }
    }
    EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "106");
    InstalledFiles ledger;
    std::string error;
    ASSERT_TRUE(ReadInstalledFilesFile(InstallDir() + L"pkg.files", &ledger, &error)) << error;
    std::set<std::string> listed;
    for (const InstalledFile& file : ledger.files) listed.insert(file.name);
    std::set<std::string> published;
    for (const auto& f : v106) published.insert(f.first);
    EXPECT_EQ(listed, published);
  }

  // Bytes the package and manifest answers carried, and how many there were.
  std::pair<long long, size_t> BytesServed(int version) const {
    long long bytes = 0;
    size_t answers = 0;
    for (const std::string& path : {PackagePath(version), ManifestPath(version)}) {
      for (const Served& answer : origin->Answers(path)) {
        EXPECT_GE(answer.bytes, 0) << path;
        bytes += answer.bytes;
        ++answers;
      }
    }
    return {bytes, answers};
  }

  // What an update from 105 may fetch: the compressed data of every changed
  // and added entry, and what lies around it.
  long long EntryBytes(const PackageManifest& manifest) const {
    long long bytes = 0;
    for (const ManifestEntry& entry : manifest.entries) {
      auto old = v105.find(entry.name);
      if (old != v105.end() && old->second == v106.at(entry.name)) continue;
      if (entry.name == "config/settings.ini") continue;  // kept local, present
      bytes += Around(entry) + static_cast<long long>(entry.compressedSize);
    }
    return bytes;
  }

  // Changed and added entries, the kept-local settings left out.
  size_t ChangedEntries() const {
    size_t count = 0;
    for (const auto& f : v106) {
      auto old = v105.find(f.first);
      if (f.first != "config/settings.ini" && (old == v105.end() || old->second != f.second)) ++count;
    }
    return count;
  }

  void UpdateFrom105To106();

  Files v105, v106;
  Shape shape;
  std::unique_ptr<Origin> origin;
  std::string versionText;
};

// 105 -> 106 from whichever origin the test set: only the changed and
// added entries' bytes are served, and the folder ends as 106.
void PkgUpdate::UpdateFrom105To106() {
  Install105();
  PublishVersion("106");
  PackageManifest manifest = PublishWithManifest(106, v106);
  PublishConfig();

  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_TRUE(UpdatedByEntries(run.log, ChangedEntries(), manifest));
  ExpectTreeIs106();

  // One range per request over one kept-alive connection, each after the
  // first pinned to the first answer's validator.
  std::vector<Served> package = origin->Answers(PackagePath(106));
  ASSERT_FALSE(package.empty());
  for (size_t i = 0; i < package.size(); ++i) {
    const Served& answer = package[i];
    EXPECT_EQ(answer.status, 206) << answer.range;
    EXPECT_EQ(answer.range.compare(0, 6, "bytes="), 0) << answer.range;
    EXPECT_EQ(answer.range.find(','), std::string::npos) << answer.range;
    if (answer.ifRange == "?") continue;  // nginx does not log it
    EXPECT_EQ(answer.peer, package[0].peer) << "request " << i << " on another connection";
    if (i > 0) {
      EXPECT_NE(answer.ifRange, "-") << "request " << i << " not pinned";
    }
  }
  std::pair<long long, size_t> served = BytesServed(106);
  long long manifestBytes = static_cast<long long>(FormatManifest(manifest).size());
  EXPECT_LE(served.first, EntryBytes(manifest) + manifestBytes + 4096 * static_cast<long long>(served.second));

  // The same statistics as an update of the whole package.
  std::vector<int> ids;
  for (int id : ReportIds())
    if (id >= 10 && id <= 21) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int>{10, 11, 20, 21}));
}

// The package as different writers lay it out: the entries' data are found
// by the manifest's offsets whatever lies around them.
TEST_F(PkgUpdate, From105To106FetchesOnlyChangedAndAddedEntriesAndEndsAsAFreshInstall) {
  std::string central = UtBlock(1, {1600000000});
  Shape shapes[4];
  shapes[1].what = "local extra fields longer than the central directory's";
  shapes[1].localExtra = central + ExtraBlock(0x7075, std::string(37, 'x'));
  shapes[1].centralExtra = central;
  shapes[2].what = "data descriptors";
  shapes[2].dataDescriptor = true;
  shapes[3].what = "zip64 with data descriptors";
  shapes[3].zip64 = true;
  shapes[3].dataDescriptor = true;
  for (const Shape& row : shapes) {
    SCOPED_TRACE(row.what);
    shape = row;
    ASSERT_TRUE(ResetServer());
    ASSERT_TRUE(RemoveTree(InstallDir().substr(0, InstallDir().size() - 1)));
    UpdateFrom105To106();
    if (HasFatalFailure()) return;
  }
}

// The same against nginx as an operator configures it (docs/nginx.conf);
// run by tests/tools/update_nginx_test.sh, which starts it.
class PkgUpdateNginx : public PkgUpdate {
 protected:
  void SetUp() override {
    if (!NginxOrigin::Available()) GTEST_SKIP() << "nginx runs only under tests/tools/update_nginx_test.sh";
    PkgUpdate::SetUp();
    if (HasFatalFailure()) return;
    UseOrigin(std::make_unique<NginxOrigin>());
  }
};

TEST_F(PkgUpdateNginx, From105To106FetchesOnlyChangedAndAddedEntriesAndEndsAsAFreshInstall) { UpdateFrom105To106(); }

// Where the entries cannot be fetched the whole package is, once, and the
// folder ends the same.
TEST_F(PkgUpdate, WholePackageRoadTakesOverAndEndsAsAFreshInstall) {
  struct Row {
    const char* what;
    bool manifestKey;
    bool ignoreRange;
    bool ledger;
    bool manifestAsked;
    enum { kAsPublished, kAltered, kMissing } manifestFile;
    const char* logged;
  } rows[] = {
      {"no manifest in the configuration", false, false, true, false, Row::kAsPublished,
       "update by the whole package: no manifest in the configuration"},
      {"Range ignored by the server", true, true, true, true, Row::kAsPublished,
       "update by the whole package: the server answered a range with the whole package"},
      {"ledger missing", true, false, false, false, Row::kAsPublished, "update by the whole package: no ledger"},
      // The manifest authenticates every entry: one unlike its checksum is not followed.
      {"manifest unlike its checksum", true, false, true, true, Row::kAltered,
       "update by the whole package: manifest checksum mismatch"},
      {"manifest not published", true, false, true, true, Row::kMissing,
       "update by the whole package: manifest not downloaded"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(ResetServer());
    ASSERT_TRUE(RemoveTree(InstallDir().substr(0, InstallDir().size() - 1)));
    Install105();
    if (!row.ledger) {
      ASSERT_TRUE(DeleteFileW((InstallDir() + L"pkg.files").c_str()));
    }
    PublishVersion("106");
    PackageManifest manifest = PublishWithManifest(106, v106);
    if (!row.manifestKey) config.erase("pkgManifestSha256");
    if (row.manifestFile == Row::kAltered) {
      // Another package's manifest: valid, but not the one the configuration names.
      manifest.entries.front().sha256[0] ^= 1;
      ASSERT_TRUE(gameserver::Publish(ManifestPath(106), FormatManifest(manifest)));
    }
    if (row.manifestFile == Row::kMissing) Unpublish(ManifestPath(106));
    if (row.ignoreRange) {
      ASSERT_TRUE(gameserver::AddFault(PackagePath(106), "ignore_range=1"));
    }
    PublishConfig();

    RunResult run = Run(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
    EXPECT_NE(run.log.find(row.logged), std::string::npos) << run.log;
    std::vector<Served> package = origin->Answers(PackagePath(106));
    ASSERT_EQ(package.size(), 1u) << "the whole package, once";
    EXPECT_EQ(package[0].status, 200);
    EXPECT_EQ(origin->Answers(ManifestPath(106)).size(), row.manifestAsked ? 1u : 0u);

    // Without a ledger nothing tells which files 106 dropped: they stay.
    Files want = Expected106();
    if (!row.ledger) {
      want["game/old/retired.txt"] = v105.at("game/old/retired.txt");
      want["game/old/retired.bin"] = v105.at("game/old/retired.bin");
    }
    Files got = GameFiles();
    for (const auto& f : want) EXPECT_TRUE(got.count(f.first) && got[f.first] == f.second) << f.first;
    EXPECT_EQ(got.size(), want.size());
    EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "106");
  }
}

TEST_F(PkgUpdate, KilledDuringTheEntryFetchLeavesOldOrNewFilesAndTheRerunFetchesOnlyTheRest) {
  Install105();
  // A large changed entry, slowly served: the kill comes while it flows.
  v106["game/data/part9.bin"] = gameserver::TestBytes(600 * 1024, 909);
  PublishVersion("106");
  PackageManifest manifest = PublishWithManifest(106, v106);
  PublishConfig();
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(gameserver::AddFault(PackagePath(106), "rate=60000"));
  {
    std::wstring dir = support::ScratchDir(L"workflow");
    std::wstring exe = dir + L"\\vorn-pc-tok.exe";
    ASSERT_TRUE(CopyFileW(LauncherExe().c_str(), exe.c_str(), FALSE));
    LauncherRun run;
    ASSERT_TRUE(run.StartExisting(exe)) << run.StartFailure();
    ASSERT_TRUE(WaitForLog("update by entries:", 60000)) << ReadLog();
    Sleep(3000);  // part of the slow ranges has come
  }  // the launcher is killed here
  // Every game file is old or new, whole; "pkg.ver" is still 105.
  Files after = GameFiles();
  std::set<std::string> names;
  for (const auto& f : v105) names.insert(f.first);
  for (const auto& f : v106) names.insert(f.first);
  for (const std::string& name : names) {
    auto file = after.find(name);
    if (file == after.end()) {
      EXPECT_FALSE(v105.count(name)) << name << " of 105 is gone before 106 is whole";
      continue;
    }
    bool whole = (v105.count(name) && v105[name] == file->second) || (v106.count(name) && v106[name] == file->second);
    EXPECT_TRUE(whole) << name << " is neither the old nor the new file";
  }
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_FALSE(after.count("game/data/part9.bin") && after["game/data/part9.bin"] == v106["game/data/part9.bin"])
      << "the slow entry was not expected to be whole before the kill";
  std::set<std::string> placedBefore;
  for (const auto& f : v106) {
    auto old = v105.find(f.first);
    bool changed = old == v105.end() || old->second != f.second;
    if (changed && after.count(f.first) && after[f.first] == f.second) placedBefore.insert(f.first);
  }

  // The server logs the cut request once it notices: only then is its log
  // emptied, so that it counts the rerun's bytes alone.
  const ManifestEntry* slow = nullptr;
  for (const ManifestEntry& entry : manifest.entries)
    if (entry.name == "game/data/part9.bin") slow = &entry;
  ASSERT_NE(slow, nullptr);
  auto cutLogged = [&] {
    for (const Served& answer : origin->Answers(PackagePath(106)))
      if (Covers(answer.range, *slow)) return true;
    return false;
  };
  for (int i = 0; i < 200 && !cutLogged(); ++i) Sleep(100);
  ASSERT_TRUE(cutLogged()) << "the server never logged the request the kill cut";
  ASSERT_TRUE(ResetServer());
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  ExpectTreeIs106();
  // The rerun asks only for what the first run did not put in place.
  EXPECT_TRUE(UpdatedByEntries(run.log, ChangedEntries() - placedBefore.size(), manifest));
  long long budget = 0;
  for (const ManifestEntry& entry : manifest.entries) {
    auto old = v105.find(entry.name);
    bool changed = old == v105.end() || old->second != v106.at(entry.name);
    if (!changed || placedBefore.count(entry.name) || entry.name == "config/settings.ini") continue;
    budget += Around(entry) + static_cast<long long>(entry.compressedSize);
  }
  std::pair<long long, size_t> served = BytesServed(106);
  EXPECT_LE(served.first, budget + static_cast<long long>(FormatManifest(manifest).size()) +
                              4096 * static_cast<long long>(served.second));
}

TEST_F(PkgUpdate, EntryWhoseBytesDifferFromTheManifestIsAskedTwiceAndNeverLands) {
  Install105();
  PublishVersion("106");
  // The manifest of the real 106; the package served has other bytes (of the
  // same length) in one changed entry.
  std::vector<ZipItem> good = ItemsOf(v106), bad = ItemsOf(v106);
  for (ZipItem& item : bad)
    if (item.name == "game/data/part3.bin") {
      item.deflate = false;
      item.data[100] ^= 0x55;
    }
  for (ZipItem& item : good)
    if (item.name == "game/data/part3.bin") item.deflate = false;
  PackageManifest manifest = PublishWithManifest(106, BuildZip(bad), BuildZip(good));
  PublishConfig();

  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(base::Utf8(run.boxes[0]), "下载游戏包失败！[error:entry game/data/part3.bin checksum mismatch, url: " +
                                          gameserver::ServerUrl(PackagePath(106)) + "]");
  EXPECT_TRUE(support::ReadFileBytes(InstallDir() + L"game\\data\\part3.bin") == v105["game/data/part3.bin"]);
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  std::vector<std::string> ranges;
  for (const Served& answer : origin->Answers(PackagePath(106))) ranges.push_back(answer.range);
  // The entry's bytes were asked for twice: in the plan's ranges and once more.
  const ManifestEntry* tampered = nullptr;
  for (const ManifestEntry& entry : manifest.entries)
    if (entry.name == "game/data/part3.bin") tampered = &entry;
  ASSERT_NE(tampered, nullptr);
  EXPECT_EQ(std::count_if(ranges.begin(), ranges.end(), [&](const std::string& r) { return Covers(r, *tampered); }), 2)
      << ::testing::PrintToString(ranges);
  std::vector<int> ids;
  for (int id : ReportIds())
    if (id >= 10 && id <= 21) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int>{10, 12}));
}

// A current installation: a deleted file is noticed by its absence at the
// next start, a damaged one of the same size only with --repair.
TEST_F(PkgUpdate, CurrentVersionFetchesADeletedFileAndWithRepairADamagedOne) {
  Install105();
  PublishVersion("105");
  PackageManifest manifest = PublishWithManifest(105, v105);
  PublishConfig();
  const std::wstring deleted = InstallDir() + L"game\\data\\part5.bin";
  const std::wstring damaged = InstallDir() + L"game\\data\\part6.bin";
  std::string wrong = v105["game/data/part6.bin"];
  wrong[10] ^= 1;
  ASSERT_TRUE(base::WriteWholeFile(damaged, wrong));

  // Nothing is missing: no manifest is asked for, nothing fetched.
  RunResult quiet = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(quiet.ended);
  EXPECT_TRUE(quiet.boxes.empty());
  EXPECT_TRUE(origin->Answers(ManifestPath(105)).empty());
  EXPECT_TRUE(origin->Answers(PackagePath(105)).empty());
  EXPECT_TRUE(support::ReadFileBytes(damaged) == wrong);

  ASSERT_TRUE(DeleteFileW(deleted.c_str()));
  RunResult missing = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(missing.ended);
  EXPECT_TRUE(missing.boxes.empty()) << base::Utf8(missing.boxes.front());
  EXPECT_TRUE(UpdatedByEntries(missing.log, 1, manifest));
  EXPECT_TRUE(support::ReadFileBytes(deleted) == v105["game/data/part5.bin"]);
  EXPECT_TRUE(support::ReadFileBytes(damaged) == wrong) << "sizes only without --repair";
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "105");

  ASSERT_TRUE(ResetServer());
  RunResult repaired = Run(L"vorn-pc-tok.exe", L"--repair");
  ASSERT_TRUE(repaired.ended);
  EXPECT_TRUE(repaired.boxes.empty()) << base::Utf8(repaired.boxes.front());
  EXPECT_TRUE(UpdatedByEntries(repaired.log, 1, manifest));
  EXPECT_TRUE(support::ReadFileBytes(damaged) == v105["game/data/part6.bin"]);
  long long budget = 0;
  for (const ManifestEntry& entry : manifest.entries)
    if (entry.name == "game/data/part6.bin") budget = Around(entry) + static_cast<long long>(entry.compressedSize);
  std::pair<long long, size_t> served = BytesServed(105);
  EXPECT_LE(served.first, budget + static_cast<long long>(FormatManifest(manifest).size()) +
                              4096 * static_cast<long long>(served.second));
  std::vector<int> ids;
  for (int id : ReportIds())
    if (id >= 10 && id <= 21) ids.push_back(id);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<int>{10, 11, 20, 21}));
}

}  // namespace
}  // namespace e2e
