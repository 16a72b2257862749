// The list of installed files ("pkg.files") as the decompression step keeps
// it on the whole-package road: every file in place with its size and
// SHA-256, the files a new package dropped deleted, the player's own files
// and the files no list names left alone.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/handles.h"
#include "base/sha256.h"
#include "base/text.h"
#include "install/installed_files.h"
#include "state_driver.h"
#include "support/files.h"
#include "support/log_reader.h"
#include "support/zip_writer.h"
#include "workflow/load_state.h"
#include "workflow/pkg_decompress_state.h"

using support::BuildZip;
using support::DirItem;
using support::FileItem;
using support::ZipItem;

namespace {

constexpr DWORD kRunTimeoutMs = 30000;

struct Unpack : e2e::StateDriver {
  explicit Unpack(const std::wstring& name) : StateDriver(name) {
    config.serverVersion = "106";
    e2e::OpenTestLog(scratch);
  }
  std::wstring Inst(const std::wstring& rel) const { return config.installDir + rel; }
  void PutArchive(const std::vector<ZipItem>& items, bool zip64 = false) {
    ASSERT_TRUE(support::WriteFileBytes(config.GetPkgDownloadPath(), BuildZip(items, zip64)));
  }
  void Put(const std::wstring& rel, const std::string& bytes) {
    std::wstring path = Inst(rel);
    ASSERT_EQ(base::CreateDirectoryTree(path.substr(0, path.find_last_of(L'\\'))), 0u);
    ASSERT_TRUE(support::WriteFileBytes(path, bytes));
  }
  bool Run() {
    if (!RunUntilReplaced(new PkgDecompressState(&context), kRunTimeoutMs)) return false;
    return dynamic_cast<LoadState*>(context.state.get()) != nullptr;
  }
  // The list as written, with a failure when it cannot be read.
  InstalledFiles Ledger() const {
    InstalledFiles ledger;
    std::string error;
    EXPECT_TRUE(ReadInstalledFilesFile(config.GetPkgFilesPath(), &ledger, &error)) << error;
    return ledger;
  }
  void WriteLedger(const InstalledFiles& ledger) {
    std::string error;
    ASSERT_TRUE(WriteInstalledFilesFile(config.GetPkgFilesPath(), ledger, &error)) << error;
  }
};

InstalledFiles List(std::vector<InstalledFile> files) {
  InstalledFiles list;
  list.files = std::move(files);
  return list;
}

Sha256Digest DigestOf(const std::string& bytes) {
  Sha256Digest digest{};
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(bytes, &digest, &error)) << error;
  return digest;
}

InstalledFile Line(const std::string& name, const std::string& bytes) {
  InstalledFile line;
  line.name = name;
  line.size = bytes.size();
  line.sha256 = DigestOf(bytes);
  return line;
}

// Name, size and hash of every line, in order, for one comparison.
std::vector<std::string> Lines(const InstalledFiles& ledger) {
  std::vector<std::string> out;
  for (const InstalledFile& file : ledger.files)
    out.push_back(file.name + " " + std::to_string(file.size) + " " + Sha256Text(file.sha256));
  return out;
}

std::vector<std::string> Lines(const std::vector<InstalledFile>& files) {
  InstalledFiles ledger;
  ledger.files = files;
  return Lines(ledger);
}

uint64_t WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace

// Stored, deflated, empty, nested, non-ASCII, a name written with
// backslashes and one cleaned of its drive, and a name twice: one line per
// file, in archive order, with what is on disk; in zip64 form too.
TEST(PkgDecompressLedger, AWholeInstallListsEveryFileAsWrittenBeforeTheVersion) {
  for (bool zip64 : {false, true}) {
    SCOPED_TRACE(zip64 ? "zip64" : "zip");
    Unpack u(L"ledger-install");
    std::string big = std::string(300000, 'b') + "end";
    ZipItem stored = FileItem("game/data/stored.bin", big);
    stored.deflate = false;
    u.PutArchive({DirItem("game/"), FileItem("game/game.exe", "program"), stored, FileItem("game/empty.txt", ""),
                  FileItem("game/\xE5\x9C\xB0\xE5\x9B\xBE/map.dat", "map"), FileItem("game\\sub\\win.txt", "win"),
                  FileItem("C:\\readme.txt", "readme"), FileItem("game/twice.txt", "first"),
                  FileItem("game/twice.txt", "second")},
                 zip64);
    ASSERT_TRUE(u.Run());
    std::vector<InstalledFile> want = {Line("game/game.exe", "program"),
                                       Line("game/data/stored.bin", big),
                                       Line("game/empty.txt", ""),
                                       Line("game/\xE5\x9C\xB0\xE5\x9B\xBE/map.dat", "map"),
                                       Line("game/sub/win.txt", "win"),
                                       Line("readme.txt", "readme"),
                                       Line("game/twice.txt", "second")};
    EXPECT_EQ(Lines(u.Ledger()), Lines(want));
    EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "106");
    uint64_t listWritten = WriteTime(u.config.GetPkgFilesPath()), versionWritten = WriteTime(u.config.GetPkgVerPath());
    EXPECT_NE(listWritten, 0u);
    EXPECT_LT(listWritten, versionWritten) << "pkg.files is written before pkg.ver";
  }
}

// A whole-package update: what the old list has and the new package not is
// deleted (read-only too); what no list names, a player's own file, stays;
// so does an existing file of the player's patterns, listed as it is; a
// missing one is written.
TEST(PkgDecompressLedger, AnUpdateDeletesDroppedFilesOnlyAndKeepsThePlayersOwn) {
  Unpack u(L"ledger-update");
  u.config.pkgKeepLocal = {"config/*"};
  u.Put(L"game\\game.exe", "program 105");
  u.Put(L"game\\old.dll", "dropped in 106");
  u.Put(L"game\\Old-RO.dat", "dropped, read-only");
  ASSERT_TRUE(SetFileAttributesW(u.Inst(L"game\\Old-RO.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  u.Put(L"config\\user.cfg", "the player's settings");
  u.Put(L"game\\screenshot.png", "the player's own, never listed");
  u.Put(L"game\\Same.txt", "listed in another letter case");
  u.WriteLedger(List({Line("game/game.exe", "program 105"), Line("game/old.dll", "dropped in 106"),
                               Line("game/old-ro.dat", "dropped, read-only"), Line("config/user.cfg", "defaults"),
                               Line("game/Same.txt", "listed in another letter case")}));
  u.PutArchive({FileItem("game/game.exe", "program 106"), FileItem("config/user.cfg", "defaults 106"),
                FileItem("config/new.cfg", "new defaults"), FileItem("GAME/same.TXT", "kept by its new name")});
  ASSERT_TRUE(u.Run());

  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"game\\game.exe")), "program 106");
  EXPECT_FALSE(base::PathExists(u.Inst(L"game\\old.dll")));
  EXPECT_FALSE(base::PathExists(u.Inst(L"game\\Old-RO.dat")));
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"game\\screenshot.png")), "the player's own, never listed");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"config\\user.cfg")), "the player's settings");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"config\\new.cfg")), "new defaults");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"game\\same.txt")), "kept by its new name");
  std::vector<InstalledFile> want = {Line("game/game.exe", "program 106"),
                                     Line("config/user.cfg", "the player's settings"),
                                     Line("config/new.cfg", "new defaults"),
                                     Line("GAME/same.TXT", "kept by its new name")};
  EXPECT_EQ(Lines(u.Ledger()), Lines(want));
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "106");
}

// Entries that fail leave the update open: nothing is deleted, the version
// stays, and the list has each file as it now is: the new lines of what was
// replaced, the old line of a file that kept its old bytes, the new package's
// dropped file still listed, and no line for a new file that failed.
TEST(PkgDecompressLedger, AnUpdateWithFailedEntriesListsOnlyWhatIsInPlace) {
  Unpack u(L"ledger-partial");
  ASSERT_TRUE(support::WriteFileBytes(u.config.GetPkgVerPath(), "105"));
  u.Put(L"a.txt", "a 105");
  u.Put(L"locked.txt", "locked 105");
  u.Put(L"dropped.txt", "dropped in 106");
  u.WriteLedger(List({Line("a.txt", "a 105"), Line("locked.txt", "locked 105"), Line("dropped.txt", "dropped in 106")}));
  ZipItem bad = FileItem("new-bad.txt", std::string(5000, 'n'));
  bad.corruptData = true;
  u.PutArchive({FileItem("a.txt", "a 106"), FileItem("locked.txt", "locked 106"), bad});
  {
    base::UniqueFile holder(CreateFileW(u.Inst(L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.Valid());
    ASSERT_TRUE(u.Run());
  }
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"dropped.txt")), "dropped in 106");
  EXPECT_FALSE(base::PathExists(u.Inst(L"new-bad.txt")));
  std::vector<InstalledFile> want = {Line("a.txt", "a 106"), Line("locked.txt", "locked 105"),
                                     Line("dropped.txt", "dropped in 106")};
  EXPECT_EQ(Lines(u.Ledger()), Lines(want));

  // The next run unpacks the kept archive whole and finishes the update.
  Unpack again(L"ledger-partial-2");
  again.config.installDir = u.config.installDir;
  again.PutArchive({FileItem("a.txt", "a 106"), FileItem("locked.txt", "locked 106")});
  ASSERT_TRUE(again.Run());
  EXPECT_FALSE(base::PathExists(u.Inst(L"dropped.txt")));
  std::vector<InstalledFile> done = {Line("a.txt", "a 106"), Line("locked.txt", "locked 106")};
  EXPECT_EQ(Lines(again.Ledger()), Lines(done));
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "106");
}

// A dropped file another program holds open cannot go now: it stays listed,
// so that a later update deletes it.
TEST(PkgDecompressLedger, ADroppedFileThatCannotBeDeletedStaysListed) {
  Unpack u(L"ledger-held");
  u.Put(L"held.dll", "in use");
  u.WriteLedger(List({Line("held.dll", "in use")}));
  u.PutArchive({FileItem("game.exe", "program")});
  {
    base::UniqueFile holder(CreateFileW(u.Inst(L"held.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.Valid());
    ASSERT_TRUE(u.Run());
  }
  EXPECT_TRUE(base::PathExists(u.Inst(L"held.dll")));
  std::vector<InstalledFile> want = {Line("game.exe", "program"), Line("held.dll", "in use")};
  EXPECT_EQ(Lines(u.Ledger()), Lines(want));
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "106") << "the package itself is in place";
}
