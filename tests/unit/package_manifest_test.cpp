#include <gtest/gtest.h>

#include <string>

#include "base/relative_name.h"
#include "unpack/package_manifest.h"

namespace {

const std::string kHashA(64, 'a');
const std::string kHashB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

std::string Line(const std::string& rest) { return kHashA + " 1a2b3c4d " + rest + "\n"; }

}  // namespace

TEST(PackageManifest, FormatThenParseGivesTheSameEntriesAndText) {
  PackageManifest m;
  ManifestEntry a;
  a.name = "bin/game.exe";
  a.method = 8;
  a.crc32 = 0x0000beef;
  a.compressedSize = 1000;
  a.size = 4096;
  a.dataOffset = 52;
  a.sha256[0] = 0xff;
  a.sha256[31] = 0x01;
  ManifestEntry b;
  b.name = "data/level one/\xE5\x9C\xB0\xE5\x9B\xBE.dat";  // spaces and CJK in the name
  b.method = 0;
  b.crc32 = 0xffffffff;
  b.compressedSize = b.size = 9223372036854775807ull - 2000;  // beyond 4 GiB (zip64)
  b.dataOffset = 1100;
  ManifestEntry empty;
  empty.name = "empty.txt";
  empty.dataOffset = 1090;
  m.entries = {a, b, empty};

  const std::string text = FormatManifest(m);
  EXPECT_EQ(text.substr(0, 64 + 10), "ff" + std::string(60, '0') + "01 0000beef ");
  PackageManifest back;
  std::string error;
  ASSERT_TRUE(ParseManifest(text, &back, &error)) << error;
  ASSERT_EQ(back.entries.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(back.entries[i], m.entries[i]) << i;
  EXPECT_EQ(FormatManifest(back), text);
  EXPECT_EQ(back.DataEnd(), 9223372036854775807ull - 900);
}

TEST(PackageManifest, RefusesTheWholeManifestWithAReason) {
  struct Row {
    const char* what;
    std::string text;
    const char* reason;  // part of the error text
  };
  const Row rows[] = {
      {"empty manifest", "", "no entries"},
      {"last line without LF", kHashA + " 1a2b3c4d 8 5 9 0 a.txt", "line 1: no line end"},
      {"CRLF line end", Line("8 5 9 0 a.txt\r"), "control character"},
      {"hash in upper case", std::string(64, 'A') + " 1a2b3c4d 8 5 9 0 a\n", "bad SHA-256"},
      {"hash too short", std::string(63, 'a') + " 1a2b3c4d 8 5 9 0 a\n", "bad SHA-256"},
      {"crc of 7 digits", kHashA + " 1a2b3c4 8 5 9 0 a\n", "bad CRC-32"},
      {"two spaces", kHashA + "  1a2b3c4d 8 5 9 0 a\n", "bad CRC-32"},
      {"method 12 (bzip2)", Line("12 5 9 0 a"), "method 12 is not stored (0) or deflated (8)"},
      {"method 99 (AES)", Line("99 5 9 0 a"), "method 99"},
      {"method with a leading zero", Line("08 5 9 0 a"), "bad method"},
      {"negative size", Line("8 5 -9 0 a"), "bad size"},
      {"size above 2^63-1", Line("8 5 9223372036854775808 0 a"), "bad size"},
      {"size with 20 digits", Line("8 5 18446744073709551615 0 a"), "bad size"},
      {"offset missing", Line("8 5 9 a"), "bad data offset"},
      {"no name", Line("8 5 9 0 "), "empty name"},
      {"no field for the name", kHashA + " 1a2b3c4d 8 5 9 0\n", "bad data offset"},
      {"stored with sizes that differ", Line("0 5 9 0 a"), "stored entry whose sizes differ"},
      {"data past 2^63", Line("8 9223372036854775800 9 100 a"), "past 2^63"},
      {"backslash", Line("8 5 9 0 a\\b"), "backslash"},
      {"tab", Line("8 5 9 0 a\tb"), "control character"},
      {"absolute", Line("8 5 9 0 /etc/passwd"), "leaves the folder (absolute)"},
      {"drive", Line("8 5 9 0 C:x"), "leaves the folder (drive)"},
      {"climb", Line("8 5 9 0 a/../../x"), "leaves the folder (\"..\")"},
      {"climb at the start", Line("8 5 9 0 ../x"), "leaves the folder"},
      {"empty component", Line("8 5 9 0 a//b"), "empty or \".\" component"},
      {"dot component", Line("8 5 9 0 ./b"), "empty or \".\" component"},
      {"folder entry", Line("8 5 9 0 a/"), "empty or \".\" component"},
      {"trailing dot", Line("8 5 9 0 readme."), "is not a Windows file name"},
      {"alternate stream", Line("8 5 9 0 a/b:stream"), "is not a Windows file name"},
      {"device name", Line("8 5 9 0 bin/NUL.txt"), "is not a Windows file name"},
      {"not UTF-8", Line("8 5 9 0 a\xC0\xAF"), "not UTF-8"},
      {"second line bad", Line("8 5 9 0 a") + Line("8 5 9 x b"), "line 2: bad data offset"},
      {"names equal ignoring case", Line("8 5 9 0 Data/A.txt") + Line("8 5 9 5 data/a.TXT"),
       "are one file on Windows"},
      {"Cyrillic names equal ignoring case", Line("8 5 9 0 \xD0\x94") + Line("8 5 9 5 \xD0\xB4"),
       "are one file on Windows"},
      {"a file that is also a folder", Line("8 5 9 0 data") + Line("8 5 9 5 data!") + Line("8 5 9 10 DATA/x"),
       "is a file and a folder of"},
      {"overlapping data", Line("8 5 9 0 a") + Line("8 5 9 4 b"), "overlap"},
      {"same offset", Line("8 5 9 100 a") + Line("8 1 9 100 b"), "overlap"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PackageManifest m;
    m.entries.resize(1);
    m.entries[0].name = "untouched";
    std::string error;
    EXPECT_FALSE(ParseManifest(row.text, &m, &error));
    EXPECT_NE(error.find(row.reason), std::string::npos) << error;
    ASSERT_EQ(m.entries.size(), 1u);
    EXPECT_EQ(m.entries[0].name, "untouched");
  }
}

TEST(PackageManifest, AcceptsWhatLooksCloseToARefusal) {
  const std::string rows[] = {
      Line("8 5 9 0 a") + Line("8 5 9 5 b"),         // data that touch but do not overlap
      Line("8 0 0 7 a") + Line("0 0 0 7 b"),         // empty entries at one offset
      Line("8 5 9 0 a b") + Line("8 5 9 5 a  b"),    // spaces inside names are the name's
      Line("8 5 9 0 ..a/b..c/...d"),                 // dots that are not a climb
      Line("8 5 9 0 data") + Line("8 5 9 5 data2/x"),  // a prefix that is not a folder
      Line("8 5 9 0 \xC3\xA9t\xC3\xA9") + Line("8 5 9 5 ete"),  // accents differ: two files
  };
  for (const std::string& text : rows) {
    SCOPED_TRACE(text);
    PackageManifest m;
    std::string error;
    EXPECT_TRUE(ParseManifest(text, &m, &error)) << error;
    EXPECT_EQ(FormatManifest(m), text);
  }
}

TEST(RelativeName, FoldingMatchesWindowsForTheScriptsItCovers) {
  struct Row {
    std::string a, b;
    bool same;
  };
  const Row rows[] = {
      {"Config/Game.INI", "config/game.ini", true},
      {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", true},  // ÉTÉ / été
      {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "\xC5\x82\xC3\x93" "D\xC5\xB9", true},  // Łódź, Latin Extended-A both shifts
      {"\xCE\xA3\xCE\xBF\xCF\x86\xCE\xB9\xCE\xB1", "\xCF\x83\xCE\x9F\xCE\xA6\xCE\x99\xCE\x91", true},  // Greek
      {"\xD0\x81\xD0\x96", "\xD1\x91\xD0\xB6", true},  // ЁЖ / ёж
      {"a", "b", false},
      {"\xC4\xB1", "I", false},  // dotless i is not I
      {"\xE5\x9C\xB0", "\xE5\x9C\xB0", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.a + " / " + row.b);
    EXPECT_EQ(base::FoldedName(row.a) == base::FoldedName(row.b), row.same);
  }
}

TEST(RelativeName, DecodeUtf8RefusesWhatIsNotShortestFormUtf8) {
  std::wstring wide;
  ASSERT_TRUE(base::DecodeUtf8("a\xF0\x9F\x98\x80", &wide));  // U+1F600 as a surrogate pair
  ASSERT_EQ(wide.size(), 3u);
  EXPECT_EQ(static_cast<uint32_t>(wide[1]), 0xD83Du);
  EXPECT_EQ(static_cast<uint32_t>(wide[2]), 0xDE00u);
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE5\x9C", "\x80", "\xFF"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(base::DecodeUtf8(bad, &wide));
  }
}
