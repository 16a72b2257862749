#include "unpack/zip_entry_rules.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "support/zip_writer.h"

using namespace zip_rules;

TEST(ZipEntryName, CleaningRulesFromTheExamples) {
  EXPECT_EQ(CleanEntryName(L"C:\\x\\..\\y"), L"y");
  EXPECT_EQ(CleanEntryName(L"/a/b"), L"a/b");
  EXPECT_EQ(CleanEntryName(L"a/b/../c"), L"c");
  EXPECT_EQ(CleanEntryName(L"C:\\data\\..\\readme.txt"), L"readme.txt");
  EXPECT_EQ(CleanEntryName(L"game/bin/x.dll"), L"game/bin/x.dll");
  EXPECT_EQ(CleanEntryName(L"game/"), L"game/");
}

TEST(ZipEntryName, RulesRepeatUntilNoneApplies) {
  // Drive, then separators, then a climb, then a separator again.
  EXPECT_EQ(CleanEntryName(L"C:\\\\/D:x"), L"x");
  EXPECT_EQ(CleanEntryName(L"\\\\server\\share\\f"), L"server\\share\\f");
  EXPECT_EQ(CleanEntryName(L"a\\..\\/b/../c"), L"c");
  EXPECT_EQ(CleanEntryName(L"C:/x/../D:/y/../z"), L"z");
  EXPECT_EQ(CleanEntryName(L"//C:a"), L"a");
  EXPECT_EQ(CleanEntryName(L""), L"");
  EXPECT_EQ(CleanEntryName(L":"), L":");  // a single character has no drive
}

TEST(ZipEntryName, ClimbSequencesAreTriedInFixedOrder) {
  // "\..\" is looked for first even though "/../" occurs earlier.
  EXPECT_EQ(CleanEntryName(L"a/../b\\..\\c"), L"c");
  EXPECT_EQ(CleanEntryName(L"p/../q/r\\..\\s"), L"s");
  // Only "/..\" is present: everything up to it goes.
  EXPECT_EQ(CleanEntryName(L"a/..\\b"), L"b");
  EXPECT_EQ(CleanEntryName(L"a\\../b"), L"b");
}

TEST(ZipEntryName, NamesThatStillClimbAreDetected) {
  // The rules only remove climbs that follow a separator.
  EXPECT_EQ(CleanEntryName(L"../evil.txt"), L"../evil.txt");
  EXPECT_EQ(CleanEntryName(L"..\\evil.txt"), L"..\\evil.txt");
  EXPECT_EQ(CleanEntryName(L"a/../../x"), L"../x");
  EXPECT_EQ(CleanEntryName(L"./../x"), L"x");
  for (const wchar_t* name : {L"../evil.txt", L"..\\evil.txt", L"..", L"../x", L"a/b/../../../x"})
    EXPECT_TRUE(NameLeavesFolder(name)) << std::string(name, name + wcslen(name));
  // Windows may fold such parts into ".." when it normalizes a path.
  EXPECT_TRUE(NameLeavesFolder(L"... /x"));
  EXPECT_TRUE(NameLeavesFolder(L".. \\x"));
}

TEST(ZipEntryName, NamesInsideTheFolderAreKept) {
  EXPECT_FALSE(NameLeavesFolder(L"a/b/../c"));
  EXPECT_FALSE(NameLeavesFolder(L"a/.."));
  EXPECT_FALSE(NameLeavesFolder(L"./a//b/"));
  EXPECT_FALSE(NameLeavesFolder(L"..a/b"));
  EXPECT_FALSE(NameLeavesFolder(L"a..\\b"));
  EXPECT_FALSE(NameLeavesFolder(L""));
}

TEST(ZipEntryAttributes, UnixHostReadsModeBits) {
  // Regular file with owner write permission.
  EXPECT_EQ(EntryAttributes(0x031E, 0x81A40000), kArchive);
  // rw bit of the owner clear: read-only.
  EXPECT_EQ(EntryAttributes(0x031E, 0x81240000), kArchive | kReadOnly);
  // Directory 0755.
  EXPECT_EQ(EntryAttributes(0x0314, 0x41ED0000), kArchive | kDirectory);
  // Directory without owner write; the low DOS byte is ignored for host 3.
  EXPECT_EQ(EntryAttributes(0x0300, 0x416D0010), kArchive | kDirectory | kReadOnly);
  // External attributes 0 (as some writers leave them): read-only file.
  EXPECT_EQ(EntryAttributes(0x0314, 0), kArchive | kReadOnly);
  // Any other host goes the same way, e.g. NTFS (10) and Mac OS X (19).
  EXPECT_EQ(EntryAttributes(0x0A00, 0x81A40000), kArchive);
  EXPECT_EQ(EntryAttributes(0x1300, 0x01), kArchive | kReadOnly);
}

TEST(ZipEntryAttributes, DosHostsReadAttributeBits) {
  for (uint16_t host : {0, 7, 11, 14}) {
    SCOPED_TRACE(host);
    uint16_t made = static_cast<uint16_t>(host << 8 | 20);
    EXPECT_EQ(EntryAttributes(made, 0), 0u);
    EXPECT_EQ(EntryAttributes(made, 0x01), kReadOnly);
    EXPECT_EQ(EntryAttributes(made, 0x02), kHidden);
    EXPECT_EQ(EntryAttributes(made, 0x04), kSystem);
    EXPECT_EQ(EntryAttributes(made, 0x10), kDirectory);
    EXPECT_EQ(EntryAttributes(made, 0x20), kArchive);
    // Other bits (volume label 0x08, Unix mode in the high half) are ignored.
    EXPECT_EQ(EntryAttributes(made, 0x81A40008), 0u);
    EXPECT_EQ(EntryAttributes(made, 0x3F), kReadOnly | kHidden | kSystem | kDirectory | kArchive);
  }
}

TEST(ZipEntryTime, DosDateAndTimeFields) {
  // 2019-11-23 14:37:58: date = (39 << 9) | (11 << 5) | 23, time = (14 << 11) | (37 << 5) | 29.
  DosTimeFields f = SplitDosDateTime((39 << 9) | (11 << 5) | 23, (14 << 11) | (37 << 5) | 29);
  EXPECT_EQ(f.year, 2019);
  EXPECT_EQ(f.month, 11);
  EXPECT_EQ(f.day, 23);
  EXPECT_EQ(f.hour, 14);
  EXPECT_EQ(f.minute, 37);
  EXPECT_EQ(f.second, 58);
  DosTimeFields zero = SplitDosDateTime(0, 0);
  EXPECT_EQ(zero.year, 1980);
  EXPECT_EQ(zero.month, 0);
  EXPECT_EQ(zero.day, 0);
  DosTimeFields top = SplitDosDateTime(0xFFFF, 0xFFFF);
  EXPECT_EQ(top.year, 2107);
  EXPECT_EQ(top.month, 15);
  EXPECT_EQ(top.day, 31);
  EXPECT_EQ(top.hour, 31);
  EXPECT_EQ(top.minute, 63);
  EXPECT_EQ(top.second, 62);
}

TEST(ZipEntryTime, UnixSecondsToFileTime) {
  EXPECT_EQ(UnixTimeToFileTime(0), 0x019DB1DED53E8000ull);
  EXPECT_EQ(UnixTimeToFileTime(1), 116444736010000000ull);
  EXPECT_EQ(UnixTimeToFileTime(-1), 116444735990000000ull);
  // 2020-01-01 00:00:00 UTC.
  EXPECT_EQ(UnixTimeToFileTime(1577836800), 132223104000000000ull);
}

namespace {

using support::ExtraBlock;
using support::UtBlock;

bool Parse(const std::string& extra, UtTimes* ut) {
  return ParseUtExtra(reinterpret_cast<const unsigned char*>(extra.data()), extra.size(), ut);
}

}  // namespace

TEST(ZipEntryTime, UtBlockWithWriteTimeOnly) {
  UtTimes ut;
  ASSERT_TRUE(Parse(UtBlock(1, {1577836800}), &ut));
  EXPECT_TRUE(ut.hasWrite);
  EXPECT_FALSE(ut.hasAccess);
  EXPECT_FALSE(ut.hasCreation);
  EXPECT_EQ(ut.writeTime, 132223104000000000ull);
}

TEST(ZipEntryTime, UtBlockWithWriteAndAccess) {
  UtTimes ut;
  ASSERT_TRUE(Parse(UtBlock(3, {100, 200}), &ut));
  EXPECT_EQ(ut.writeTime, UnixTimeToFileTime(100));
  EXPECT_EQ(ut.accessTime, UnixTimeToFileTime(200));
  EXPECT_FALSE(ut.hasCreation);
}

TEST(ZipEntryTime, UtBlockWithAllThreeBetweenOtherBlocks) {
  std::string extra = ExtraBlock(0x000A, std::string(32, '\xEE'));                 // NTFS block first
  extra += UtBlock(7, {100, 200, -1});                                          // creation: -1 s, signed
  extra += ExtraBlock(0x7875, std::string("\1\4\0\0\0\0\4\0\0\0\0", 11));  // Unix uid/gid after it
  // A second "UT" block is never looked at.
  extra += UtBlock(1, {999});
  UtTimes ut;
  ASSERT_TRUE(Parse(extra, &ut));
  EXPECT_EQ(ut.writeTime, UnixTimeToFileTime(100));
  EXPECT_EQ(ut.accessTime, UnixTimeToFileTime(200));
  EXPECT_EQ(ut.creationTime, UnixTimeToFileTime(-1));
  EXPECT_TRUE(ut.hasWrite && ut.hasAccess && ut.hasCreation);
}

TEST(ZipEntryTime, UtFlagsForTimesTheBlockDoesNotHoldAreIgnored) {
  // A central-directory style block: flags 7, only the write time present.
  std::string extra = UtBlock(7, {100}) + ExtraBlock(0x7875, std::string("\1\4\1\0\0\0\4\1\0\0\0", 11));
  UtTimes ut;
  ASSERT_TRUE(Parse(extra, &ut));
  EXPECT_TRUE(ut.hasWrite);
  EXPECT_EQ(ut.writeTime, UnixTimeToFileTime(100));
  EXPECT_FALSE(ut.hasAccess);
  EXPECT_FALSE(ut.hasCreation);
}

TEST(ZipEntryTime, ShortOrTruncatedFieldsAreSafe) {
  UtTimes ut;
  EXPECT_FALSE(ParseUtExtra(nullptr, 0, &ut));
  const unsigned char four[] = {0x55, 0x54, 5, 0};
  EXPECT_FALSE(ParseUtExtra(four, sizeof four, &ut));  // fewer than 5 bytes: not walked
  // The block claims 13 bytes but the field ends after the flags and 2 bytes.
  const unsigned char cut[] = {0x55, 0x54, 13, 0, 7, 0x10, 0x20};
  ASSERT_TRUE(ParseUtExtra(cut, sizeof cut, &ut));
  EXPECT_FALSE(ut.hasWrite || ut.hasAccess || ut.hasCreation);
  // A block whose size runs past the end stops the walk.
  const unsigned char overrun[] = {0x0A, 0x00, 0xFF, 0xFF, 1, 2, 3, 0x55, 0x54, 5, 0, 1, 1, 0, 0, 0};
  EXPECT_FALSE(ParseUtExtra(overrun, sizeof overrun, &ut));
  // Exactly four bytes after a block are not enough for another header.
  EXPECT_FALSE(Parse(ExtraBlock(0x0001, std::string(2, '\0')) + std::string("\x55\x54\0\0", 4), &ut));
}

TEST(ZipEntryData, OnlyPlainStoredAndDeflatedDataAreDecoded) {
  struct Row {
    uint16_t flags, method;
    const char* reason;
  } rows[] = {
      {0, 0, ""},
      {0, 8, ""},
      {0x0800, 8, ""},  // the UTF-8 name flag says nothing about the data
      {1, 8, "the data are encrypted"},
      {0x41, 0, "the data are encrypted"},
      {0, 12, "compression method 12 is not supported"},  // bzip2
      {0, 14, "compression method 14 is not supported"},  // LZMA
      {0, 9, "compression method 9 is not supported"},    // deflate64
  };
  for (const Row& r : rows)
    EXPECT_EQ(zip_rules::UnsupportedDataReason(r.flags, r.method), r.reason) << r.flags << "/" << r.method;
}
