// An update by entries without the network: a real zip's bytes, cut into
// the plan's ranges and handed over in odd blocks as a ranged download
// does, written below an install folder by the router.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/sha256.h"
#include "base/text.h"
#include "support/files.h"
#include "support/scratch_folder.h"
#include "support/zip_writer.h"
#include "workflow/entry_router.h"
#include "workflow/update_plan.h"

namespace {

uint32_t Le(const std::string& b, size_t at, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

// The manifest of a zip from support::BuildZip (no data descriptors), read
// from its local headers; folders left out as the manifest leaves them.
PackageManifest ManifestOf(const std::string& zip, const std::vector<support::ZipItem>& items) {
  PackageManifest m;
  size_t at = 0;
  for (const support::ZipItem& item : items) {
    EXPECT_EQ(Le(zip, at, 4), 0x04034b50u);
    ManifestEntry e;
    e.name = item.name;
    e.method = static_cast<uint16_t>(Le(zip, at + 8, 2));
    e.crc32 = Le(zip, at + 14, 4);
    e.compressedSize = Le(zip, at + 18, 4);
    e.size = Le(zip, at + 22, 4);
    e.dataOffset = at + 30 + Le(zip, at + 26, 2) + Le(zip, at + 28, 2);
    at = static_cast<size_t>(e.dataOffset + e.compressedSize);
    if (item.name.back() == '/') continue;
    std::string error;
    EXPECT_TRUE(Sha256OfBytes(item.data, &e.sha256, &error)) << error;
    m.entries.push_back(e);
  }
  return m;
}

std::string Data(char c, size_t size) {
  std::string s(size, c);
  for (size_t i = 0; i < size; i += 97) s[i] = static_cast<char>('0' + (i / 97) % 10);
  return s;
}

// Bytes deflate cannot shrink: the unchanged entries weigh in the package.
std::string Noise(size_t size, uint32_t seed) {
  std::string s(size, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

class EntryRouterTest : public ::testing::Test {
 protected:
  void SetUp() override { root = support::ScratchDir(L"entry_router"); }

  std::wstring File(const std::string& name) {
    std::wstring wide = base::ToWide(name);
    for (wchar_t& c : wide) {
      if (c == L'/') c = L'\\';
    }
    return root + L"\\" + wide;
  }

  // Version 1 on disk with its ledger; version 2 as a zip: a.txt unchanged,
  // b.bin changed (deflated), c.dat changed (stored), d/new.txt added, e.txt
  // unchanged, config/user.ini kept local; old.txt dropped.
  void Prepare() {
    support::ZipItem a = support::FileItem("a.txt", Noise(100000, 1));
    support::ZipItem b = support::FileItem("b.bin", Data('b', 300000));
    support::ZipItem c = support::FileItem("c.dat", Data('c', 5000));
    c.deflate = false;
    c.localExtra = support::ExtraBlock(0x5455, std::string("\x01\x00\x00\x00\x00", 5));  // differs from central
    support::ZipItem dir = support::DirItem("d/");
    support::ZipItem added = support::FileItem("d/new.txt", Data('n', 7000));
    support::ZipItem e = support::FileItem("e.txt", Noise(50000, 2));
    support::ZipItem user = support::FileItem("config/user.ini", "defaults");
    items = {a, b, c, dir, added, e, user};
    zip = support::BuildZip(items);
    manifest = ManifestOf(zip, items);
    ASSERT_EQ(manifest.entries.size(), 6u);

    const std::vector<std::pair<std::string, std::string>> v1 = {
        {"a.txt", a.data}, {"b.bin", "old b"}, {"c.dat", "old c"}, {"e.txt", e.data},
        {"config/user.ini", "player's own"}, {"old.txt", "gone soon"}};
    CreateDirectoryW((root + L"\\config").c_str(), nullptr);
    for (const auto& file : v1) {
      ASSERT_TRUE(support::WriteFileBytes(File(file.first), file.second));
      InstalledFile listed{file.first, file.second.size(), {}};
      std::string error;
      ASSERT_TRUE(Sha256OfBytes(file.second, &listed.sha256, &error));
      ledger.files.push_back(listed);
    }
  }

  UpdatePlan Plan() {
    UpdatePlanInput input;
    input.manifest = &manifest;
    input.ledger = &ledger;
    input.keepLocal = {"config/*"};
    for (const ManifestEntry& entry : manifest.entries) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      DiskFile disk;
      if (GetFileAttributesExW(File(entry.name).c_str(), GetFileExInfoStandard, &data)) {
        disk.exists = true;
        disk.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      }
      input.disk.push_back(disk);
    }
    return PlanUpdate(input);
  }

  // What a ranged download hands the sink: each range's bytes in blocks.
  bool Feed(EntryRouter& router, const UpdatePlan& plan, const std::string& bytes, size_t block,
            std::string* error) {
    for (size_t r = 0; r < plan.ranges.size(); ++r) {
      const FetchRange& range = plan.ranges[r];
      for (uint64_t at = range.offset; at < range.offset + range.length; at += block) {
        size_t size = static_cast<size_t>(std::min<uint64_t>(block, range.offset + range.length - at));
        if (!router.Take(r, at, bytes.data() + at, size, error)) return false;
      }
    }
    return router.WriteEmpty(plan.fetch, error);
  }

  std::vector<std::string> Names(const std::vector<size_t>& indices) {
    std::vector<std::string> names;
    for (size_t i : indices) names.push_back(manifest.entries[i].name);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::wstring root;
  std::vector<support::ZipItem> items;
  std::string zip;
  PackageManifest manifest;
  InstalledFiles ledger;
};

TEST_F(EntryRouterTest, ChangedAndAddedEntriesLandWholeInAnyBlockSize) {
  Prepare();
  UpdatePlan plan = Plan();
  ASSERT_EQ(plan.road, UpdateRoad::kByEntries) << plan.reason;
  EXPECT_EQ(Names(plan.fetch), (std::vector<std::string>{"b.bin", "c.dat", "d/new.txt"}));
  EXPECT_EQ(plan.remove, std::vector<std::string>{"old.txt"});
  for (size_t block : {size_t(1), size_t(333), size_t(65536), size_t(1) << 30}) {
    SCOPED_TRACE(block);
    ASSERT_TRUE(support::WriteFileBytes(File("b.bin"), "old b"));
    EntryRouter router(manifest, plan.ranges, root + L"\\");
    std::string error;
    ASSERT_TRUE(Feed(router, plan, zip, block, &error)) << error;
    EXPECT_TRUE(router.Mismatched().empty()) << router.MismatchError();
    EXPECT_EQ(Names(router.Written()), Names(plan.fetch));
    for (const support::ZipItem& item : items) {
      if (item.name.back() == '/' || item.name == "config/user.ini") continue;
      EXPECT_TRUE(support::ReadFileBytes(File(item.name)) == item.data) << item.name;
    }
    EXPECT_EQ(support::ReadFileBytes(File("config/user.ini")), "player's own");
  }
}

TEST_F(EntryRouterTest, AnEntryWhoseBytesDifferIsNotedAndTheOthersGoOn) {
  Prepare();
  UpdatePlan plan = Plan();
  // One byte of b.bin's compressed data is not what the manifest says.
  std::string bytes = zip;
  const ManifestEntry* b = nullptr;
  for (const ManifestEntry& e : manifest.entries) {
    if (e.name == "b.bin") b = &e;
  }
  ASSERT_NE(b, nullptr);
  bytes[static_cast<size_t>(b->dataOffset + b->compressedSize / 2)] ^= 0x10;
  EntryRouter router(manifest, plan.ranges, root + L"\\");
  std::string error;
  ASSERT_TRUE(Feed(router, plan, bytes, 4096, &error)) << error;
  EXPECT_EQ(Names(router.Mismatched()), std::vector<std::string>{"b.bin"});
  EXPECT_EQ(router.MismatchError(), "entry b.bin checksum mismatch");
  EXPECT_EQ(Names(router.Written()), (std::vector<std::string>{"c.dat", "d/new.txt"}));
  EXPECT_EQ(support::ReadFileBytes(File("b.bin")), "old b");
  EXPECT_EQ(GetFileAttributesW((File("b.bin") + L".unpacking").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EntryRouterTest, AMissingEmptyEntryIsWrittenWithoutARange) {
  support::ZipItem empty = support::FileItem("logs/empty.log", "");
  empty.deflate = false;
  support::ZipItem big = support::FileItem("big.bin", Data('z', 9000));
  items = {empty, big};
  zip = support::BuildZip(items);
  manifest = ManifestOf(zip, items);
  ledger.files.push_back({"logs/empty.log", 0, manifest.entries[0].sha256});
  ledger.files.push_back({"big.bin", 9000, manifest.entries[1].sha256});
  ASSERT_TRUE(support::WriteFileBytes(File("big.bin"), big.data));
  UpdatePlan plan = Plan();
  EXPECT_EQ(Names(plan.fetch), std::vector<std::string>{"logs/empty.log"});
  EXPECT_TRUE(plan.ranges.empty());
  EntryRouter router(manifest, plan.ranges, root + L"\\");
  std::string error;
  ASSERT_TRUE(Feed(router, plan, zip, 100, &error)) << error;
  EXPECT_NE(GetFileAttributesW(File("logs/empty.log").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Names(router.Written()), std::vector<std::string>{"logs/empty.log"});
}

}  // namespace
