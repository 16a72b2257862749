#include "workflow/ledger_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace {

InstalledFile Line(const std::string& name, uint64_t size, uint8_t tag = 0) {
  InstalledFile file;
  file.name = name;
  file.size = size;
  file.sha256.fill(tag);
  return file;
}

InstalledFiles List(std::vector<InstalledFile> files) {
  InstalledFiles list;
  list.files = std::move(files);
  return list;
}

}  // namespace

TEST(LedgerFilesGone, OnlyListedFilesTheNewPackageDropped) {
  struct Row {
    const char* what;
    std::vector<std::string> old;
    std::vector<std::string> next;
    std::vector<std::string> keepLocal;
    std::vector<std::string> gone;
  };
  const Row rows[] = {
      {"no list, nothing to delete", {}, {"a.txt"}, {}, {}},
      {"a file the package dropped", {"a.txt", "b.txt"}, {"a.txt"}, {}, {"b.txt"}},
      {"old order is kept", {"z/1", "a", "m/2"}, {"a"}, {}, {"z/1", "m/2"}},
      {"same file in another letter case", {"Game/Data.BIN"}, {"game/data.bin"}, {}, {}},
      {"letters beyond ASCII fold too", {"\xC3\x84/\xD0\x96.txt"}, {"\xC3\xA4/\xD0\xB6.txt"}, {}, {}},
      {"the player's files are never deleted", {"config/user.cfg", "old.dll"}, {"game.exe"}, {"config/*"},
       {"old.dll"}},
      {"keep-local ignores letter case", {"Config/User.cfg"}, {}, {"config/*"}, {}},
      {"a repeated line is deleted once", {"x", "X", "x"}, {}, {}, {"x"}},
      {"an unchanged package deletes nothing", {"a", "b/c"}, {"b/c", "a"}, {}, {}},
  };
  for (const Row& row : rows) {
    std::vector<InstalledFile> lines;
    for (const std::string& name : row.old) lines.push_back(Line(name, 1));
    EXPECT_EQ(LedgerFilesGone(List(lines), row.next, row.keepLocal), row.gone) << row.what;
  }
}

TEST(LedgerAfterPartialUpdate, PlacedFilesReplaceTheirLinesOthersStayAsListed) {
  InstalledFiles old = List({Line("a", 1, 0xA1), Line("B/c", 2, 0xB1), Line("gone", 3, 0xC1)});
  // "b/C" is the same file as "B/c"; "new" was not listed.
  InstalledFiles after = LedgerAfterPartialUpdate(old, {Line("b/C", 20, 0xB2), Line("new", 4, 0xD2)});
  ASSERT_EQ(after.files.size(), 4u);
  EXPECT_EQ(after.files[0].name, "a");
  EXPECT_EQ(after.files[0].sha256[0], 0xA1);
  EXPECT_EQ(after.files[1].name, "b/C");
  EXPECT_EQ(after.files[1].size, 20u);
  EXPECT_EQ(after.files[1].sha256[0], 0xB2);
  EXPECT_EQ(after.files[2].name, "gone") << "a file the new package drops stays listed until the update completes";
  EXPECT_EQ(after.files[3].name, "new");
  EXPECT_EQ(after.files[3].sha256[0], 0xD2);
}

TEST(FindLedgerMismatches, MissingWrongSizeAndNotAFileInListOrder) {
  InstalledFiles ledger = List({Line("ok", 5), Line("missing", 5), Line("short", 5), Line("folder", 5),
                                Line("config/gone.cfg", 5), Line("config/changed.cfg", 5), Line("empty", 0)});
  std::map<std::string, ListedFileOnDisk> disk;
  auto file = [](uint64_t size) {
    ListedFileOnDisk f;
    f.kind = ListedFileOnDisk::kFile;
    f.size = size;
    return f;
  };
  disk["ok"] = file(5);
  disk["short"] = file(4);
  disk["folder"].kind = ListedFileOnDisk::kNotAFile;
  disk["config/changed.cfg"] = file(900);  // the game rewrote its settings
  disk["empty"] = file(0);
  int asked = 0;
  std::vector<LedgerMismatch> found = FindLedgerMismatches(ledger, {"config/*"}, [&](const std::string& name) {
    ++asked;
    auto at = disk.find(name);
    return at == disk.end() ? ListedFileOnDisk() : at->second;
  });
  EXPECT_EQ(asked, 7) << "every listed file is looked at once";
  struct Want {
    const char* name;
    LedgerMismatch::Fault fault;
  };
  const Want want[] = {{"missing", LedgerMismatch::kMissing},
                       {"short", LedgerMismatch::kWrongSize},
                       {"folder", LedgerMismatch::kNotAFile},
                       {"config/gone.cfg", LedgerMismatch::kMissing}};
  ASSERT_EQ(found.size(), sizeof want / sizeof want[0]);
  for (size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].name, want[i].name) << i;
    EXPECT_EQ(found[i].fault, want[i].fault) << want[i].name;
  }
}
