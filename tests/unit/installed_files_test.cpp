// The ledger of installed files and the keep-local patterns: pure text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/installed_files.h"
#include "install/keep_local.h"

namespace {

const std::string kHash(64, 'c');

}  // namespace

TEST(InstalledFiles, FormatThenParseGivesTheSameFiles) {
  InstalledFiles ledger;
  ledger.files = {{"bin/game.exe", 9223372036854775807ull, {}}, {"data/a b/\xE5\x9C\xB0.dat", 0, {}}};
  ledger.files[0].sha256[0] = 0xab;
  const std::string text = FormatInstalledFiles(ledger);
  EXPECT_EQ(text, "ab" + std::string(62, '0') + " 9223372036854775807 bin/game.exe\n" + std::string(64, '0') +
                      " 0 data/a b/\xE5\x9C\xB0.dat\n");
  InstalledFiles back;
  std::string error;
  ASSERT_TRUE(ParseInstalledFiles(text, &back, &error)) << error;
  EXPECT_EQ(back.files, ledger.files);
  // A ledger of no files is a ledger (an install that wrote nothing yet).
  ASSERT_TRUE(ParseInstalledFiles("", &back, &error));
  EXPECT_TRUE(back.files.empty());
}

TEST(InstalledFiles, DamagedOrHostileLedgersAreRefusedWhole) {
  struct Row {
    std::string text;
    const char* reason;
  };
  const Row rows[] = {
      {kHash + " 5 a.txt", "line 1: no line end"},  // cut short
      {kHash + " 5 a.txt\r\n", "control character"},
      {kHash.substr(1) + " 5 a.txt\n", "bad SHA-256"},
      {std::string(64, 'C') + " 5 a.txt\n", "bad SHA-256"},
      {kHash + " 05 a.txt\n", "bad size"},
      {kHash + " -5 a.txt\n", "bad size"},
      {kHash + " 9223372036854775808 a.txt\n", "bad size"},
      {kHash + " 5\n", "bad size"},
      {kHash + " 5 \n", "empty name"},
      // The plan deletes ledger files: none of these may name a file elsewhere.
      {kHash + " 5 ../../Windows/win.ini\n", "leaves the folder"},
      {kHash + " 5 /etc/passwd\n", "leaves the folder"},
      {kHash + " 5 C:/x\n", "leaves the folder"},
      {kHash + " 5 a\\..\\..\\x\n", "backslash"},
      {kHash + " 5 a/./b\n", "component"},
      {kHash + " 5 a.txt\n" + kHash + " 6 A.TXT\n", "line 2: \"A.TXT\" is listed before as \"a.txt\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    InstalledFiles ledger;
    ledger.files = {{"kept", 1, {}}};
    std::string error;
    EXPECT_FALSE(ParseInstalledFiles(row.text, &ledger, &error));
    EXPECT_NE(error.find(row.reason), std::string::npos) << error;
    ASSERT_EQ(ledger.files.size(), 1u);
    EXPECT_EQ(ledger.files[0].name, "kept");
  }
}

TEST(InstalledFiles, FindIgnoresLetterCaseAndFollowsChangesToTheList) {
  InstalledFiles ledger;
  ledger.files = {{"Data/Level1.pak", 10, {}}, {"\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\x65", 11, {}}};
  ASSERT_NE(ledger.Find("data/LEVEL1.PAK"), nullptr);
  EXPECT_EQ(ledger.Find("data/LEVEL1.PAK")->size, 10u);
  EXPECT_EQ(ledger.Find("\xD0\xB4\xD0\x90\xD0\x9D\xD0\x9D\xD0\xAB\x45")->size, 11u);  // Cyrillic folded too
  EXPECT_EQ(ledger.Find("Data/Level1.pa"), nullptr);
  EXPECT_EQ(ledger.Find("Data"), nullptr);
  // Files added after the first look-up are found, and a copy finds its own.
  for (int i = 0; i < 100; ++i) ledger.files.push_back({"more/" + std::to_string(i), static_cast<uint64_t>(i), {}});
  ASSERT_NE(ledger.Find("MORE/99"), nullptr);
  EXPECT_EQ(ledger.Find("MORE/99")->size, 99u);
  InstalledFiles copy = ledger;
  EXPECT_EQ(copy.Find("more/5"), &copy.files[7]);
  // A rename in place is seen after ForgetIndex.
  copy.files[7].name = "renamed";
  copy.ForgetIndex();
  EXPECT_EQ(copy.Find("more/5"), nullptr);
  EXPECT_EQ(copy.Find("RENAMED"), &copy.files[7]);
}

TEST(KeepLocal, PatternsFromTheConfigurationValue) {
  EXPECT_EQ(ParseKeepLocal("config/*;saves\\*.sav, ;  user.ini\t,"),
            (std::vector<std::string>{"config/*", "saves/*.sav", "user.ini"}));
  EXPECT_TRUE(ParseKeepLocal("").empty());
  EXPECT_TRUE(ParseKeepLocal(";;").empty());
}

TEST(KeepLocal, WildcardsAndLetterCase) {
  struct Row {
    const char* pattern;
    const char* name;
    bool kept;
  };
  const Row rows[] = {
      {"config/*", "config/game.ini", true},
      {"config/*", "config/keys/bindings.ini", true},  // '*' crosses '/'
      {"config/*", "CONFIG/Game.ini", true},
      {"config/*", "config", false},
      {"config/*", "configs/game.ini", false},
      {"config/*", "data/config/game.ini", false},  // anchored at the start
      {"*.ini", "data/config/game.ini", true},
      {"*.ini", "game.ini.bak", false},              // anchored at the end
      {"save?.dat", "save1.dat", true},
      {"save?.dat", "save12.dat", false},
      {"save?.dat", "save.dat", false},
      {"save?.dat", "save\xC3\xA9.dat", true},  // '?' is one character, not one byte
      {"\xC3\x89t\xC3\xA9/*", "\xC3\xA9T\xC3\x89/x", true},
      {"a*b*c", "aXbYbZc", true},  // back-tracking over a second '*'
      {"a*b*c", "aXbYbZ", false},
      {"*", "anything/at/all", true},
      {"**", "x", true},
      {"config/*", "config/*x", true},  // a '*' in the name is no reason to stop matching
      {"?", "*", true},
      {"user.ini", "user.ini", true},
      {"user.ini", "user.ini2", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " ~ " + row.name);
    EXPECT_EQ(IsKeptLocal(row.name, {row.pattern}), row.kept);
  }
  EXPECT_FALSE(IsKeptLocal("config/game.ini", {}));
  EXPECT_TRUE(IsKeptLocal("saves/1.sav", {"config/*", "saves/*"}));
}

TEST(KeepLocal, ManyStarsAgainstALongName) {
  // A pattern of many '*' against a long name that fails only at its end:
  // the match keeps one back-up point instead of recursing per star.
  const std::string pattern = std::string(200, '*') + "x";
  const std::string name(4000, 'a');
  EXPECT_FALSE(IsKeptLocal(name, {pattern}));
  EXPECT_TRUE(IsKeptLocal(name + "x", {pattern}));
}
