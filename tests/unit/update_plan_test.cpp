#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "workflow/update_plan.h"

namespace {

Sha256Digest Digest(uint8_t fill) {
  Sha256Digest d;
  d.fill(fill);
  return d;
}

// An entry of `size` bytes stored with its data at `offset`.
ManifestEntry Entry(const std::string& name, uint64_t offset, uint64_t size, uint8_t hash) {
  ManifestEntry e;
  e.name = name;
  e.method = 0;
  e.compressedSize = size;
  e.size = size;
  e.dataOffset = offset;
  e.sha256 = Digest(hash);
  return e;
}

DiskFile OnDisk(uint64_t size) {
  DiskFile f;
  f.exists = true;
  f.size = size;
  return f;
}

DiskFile Hashed(uint64_t size, uint8_t hash) {
  DiskFile f = OnDisk(size);
  f.hashed = true;
  f.sha256 = Digest(hash);
  return f;
}

}  // namespace

// One entry of 100 bytes (digest 2 in the new package) in a package big
// enough that fetching it stays below half; the ledger line and the disk
// vary per row.
TEST(UpdatePlan, OneEntryPerSituation) {
  struct Row {
    const char* situation;
    bool listed;          // the ledger has a line for it
    uint64_t listedSize;
    uint8_t listedHash;
    DiskFile disk;
    bool keptLocal;
    bool repair;
    bool hashFirst;       // EntriesToHash names it
    bool fetched;
  };
  const Row rows[] = {
      {"new entry, no file", false, 0, 0, DiskFile{}, false, false, false, true},
      {"new entry, a file of the new size (killed update)", false, 0, 0, OnDisk(100), false, false, true, true},
      {"new entry already written by a killed update", false, 0, 0, Hashed(100, 2), false, false, true, false},
      {"changed entry, old file of another size", true, 90, 1, OnDisk(90), false, false, false, true},
      {"changed entry, old file of the same size", true, 100, 1, Hashed(100, 1), false, false, true, true},
      {"changed entry already in place (killed update)", true, 100, 1, Hashed(100, 2), false, false, true, false},
      {"changed entry of the new size, caller did not hash", true, 100, 1, OnDisk(100), false, false, true, true},
      {"unchanged entry in place", true, 100, 2, OnDisk(100), false, false, false, false},
      {"unchanged entry, file missing", true, 100, 2, DiskFile{}, false, false, false, true},
      {"unchanged entry, file of a wrong size", true, 100, 2, OnDisk(7), false, false, false, true},
      {"repair, unchanged entry intact", true, 100, 2, Hashed(100, 2), false, true, true, false},
      {"repair, unchanged entry corrupted", true, 100, 2, Hashed(100, 9), false, true, true, true},
      {"ledger size differs, same digest", true, 99, 2, OnDisk(100), false, false, true, true},
      {"kept-local present, changed in the package", true, 100, 1, OnDisk(55), true, false, false, false},
      {"kept-local present, repair run", true, 100, 2, OnDisk(100), true, true, false, false},
      {"kept-local missing", true, 100, 2, DiskFile{}, true, false, false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
    PackageManifest manifest;
    manifest.entries.push_back(Entry(row.keptLocal ? "config/game.ini" : "data/a.bin", 1000, 100, 2));
    manifest.entries.push_back(Entry("data/big.bin", 2000, 10000, 3));
    InstalledFiles ledger;
    if (row.listed) ledger.files.push_back({manifest.entries[0].name, row.listedSize, Digest(row.listedHash)});
    ledger.files.push_back({"data/big.bin", 10000, Digest(3)});

    UpdatePlanInput input;
    input.manifest = &manifest;
    input.ledger = &ledger;
    input.disk = {row.disk, OnDisk(10000)};
    input.keepLocal = {"config/*"};
    input.repair = row.repair;

    std::vector<size_t> toHash = EntriesToHash(manifest, &ledger, input.disk, input.keepLocal, row.repair);
    EXPECT_EQ(std::count(toHash.begin(), toHash.end(), 0u) == 1, row.hashFirst);
    // The untouched big entry is hashed only when the run repairs.
    EXPECT_EQ(std::count(toHash.begin(), toHash.end(), 1u) == 1, row.repair);

    UpdatePlan plan = PlanUpdate(input);
    EXPECT_EQ(plan.road, UpdateRoad::kByEntries) << plan.reason;
    EXPECT_EQ(plan.fetch, row.fetched ? std::vector<size_t>{0} : std::vector<size_t>{});
    EXPECT_EQ(plan.plannedBytes, row.fetched ? 100u : 0u);
    if (row.fetched) {
      ASSERT_EQ(plan.ranges.size(), 1u);
      EXPECT_EQ(plan.ranges[0].offset, 1000u);
      EXPECT_EQ(plan.ranges[0].length, 100u);
    } else {
      EXPECT_TRUE(plan.ranges.empty());
    }
    EXPECT_TRUE(plan.remove.empty());
  }
}

TEST(UpdatePlan, RoadAndReason) {
  PackageManifest manifest;
  manifest.entries.push_back(Entry("a", 100, 400, 1));
  manifest.entries.push_back(Entry("b", 600, 400, 2));
  InstalledFiles ledger;
  ledger.files.push_back({"a", 400, Digest(1)});
  ledger.files.push_back({"b", 400, Digest(2)});
  UpdatePlanInput input;
  input.manifest = &manifest;
  input.ledger = &ledger;
  input.disk = {OnDisk(400), OnDisk(400)};

  struct Row {
    const char* situation;
    bool withLedger;
    DiskFile a, b;
    UpdateRoad road;
    const char* reason;
  };
  const Row rows[] = {
      {"nothing changed", true, OnDisk(400), OnDisk(400), UpdateRoad::kByEntries, ""},
      {"no ledger", false, OnDisk(400), OnDisk(400), UpdateRoad::kWholePackage,
       "no list of installed files"},
      // 400 of 1000 bytes: below half.
      {"one of two missing", true, DiskFile{}, OnDisk(400), UpdateRoad::kByEntries, ""},
      // 900 of 1000 (the gap between them is fetched too): above half.
      {"both missing", true, DiskFile{}, DiskFile{}, UpdateRoad::kWholePackage,
       "900 of 1000 bytes to fetch, more than half the package"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
    input.ledger = row.withLedger ? &ledger : nullptr;
    input.disk = {row.a, row.b};
    UpdatePlan plan = PlanUpdate(input);
    EXPECT_EQ(plan.road, row.road);
    EXPECT_EQ(plan.reason, row.reason);
    EXPECT_EQ(plan.packageBytes, 1000u);
  }
}

TEST(UpdatePlan, EmptyManifestRemovesEveryListedFileButKeptLocalOnes) {
  PackageManifest manifest;
  InstalledFiles ledger;
  ledger.files.push_back({"old.bin", 5, Digest(1)});
  ledger.files.push_back({"config/user.cfg", 5, Digest(2)});
  UpdatePlanInput input;
  input.manifest = &manifest;
  input.ledger = &ledger;
  input.keepLocal = {"config/*"};
  UpdatePlan plan = PlanUpdate(input);
  EXPECT_EQ(plan.road, UpdateRoad::kByEntries);
  EXPECT_TRUE(plan.fetch.empty());
  EXPECT_TRUE(plan.ranges.empty());
  EXPECT_EQ(plan.packageBytes, 0u);
  EXPECT_EQ(plan.remove, std::vector<std::string>{"old.bin"});
}

TEST(UpdatePlan, RemovalComparesNamesIgnoringCase) {
  InstalledFiles ledger;
  ledger.files.push_back({"Data/Old.bin", 1, Digest(1)});
  ledger.files.push_back({"data/kept.bin", 1, Digest(1)});
  ledger.files.push_back({"save/slot1", 1, Digest(1)});
  ledger.files.push_back({"gone/x.bin", 1, Digest(1)});
  ledger.files.push_back({"\xc3\x89t\xc3\xa9/carte.dat", 1, Digest(1)});  // "Été/carte.dat"
  // The new package spells a kept file in another case: it must not be deleted
  // after being written.
  std::vector<std::string> remove =
      FilesToRemove(ledger, {"DATA/KEPT.BIN", "data/new.bin", "\xc3\xa9T\xc3\x89/CARTE.dat"}, {"SAVE/*"});
  EXPECT_EQ(remove, (std::vector<std::string>{"Data/Old.bin", "gone/x.bin"}));
}

// Entries to fetch marked "x", others ".": which share a request.
TEST(UpdatePlan, CoalescesOnlyNeighboursWithoutOtherDataBetween) {
  struct Row {
    const char* situation;
    std::vector<ManifestEntry> entries;
    std::vector<bool> missing;
    std::vector<std::vector<size_t>> ranges;
    std::vector<std::pair<uint64_t, uint64_t>> spans;  // offset, length
  };
  const Row rows[] = {
      {"adjacent, a local header apart",
       {Entry("a", 30, 100, 1), Entry("b", 190, 100, 2), Entry("z", 100000, 100000, 3)},
       {true, true, false}, {{0, 1}}, {{30, 260}}},
      {"another entry's data between",
       {Entry("a", 30, 100, 1), Entry("b", 190, 100, 2), Entry("c", 350, 100, 3),
        Entry("z", 100000, 100000, 4)},
       {true, false, true, false}, {{0}, {2}}, {{30, 100}, {350, 100}}},
      {"a gap wider than a header",
       {Entry("a", 30, 100, 1), Entry("b", 130 + kCoalesceGap + 1, 100, 2), Entry("z", 200000, 300000, 3)},
       {true, true, false}, {{0}, {1}}, {{30, 100}, {130 + kCoalesceGap + 1, 100}}},
      {"archive order differs from data order",
       {Entry("b", 190, 100, 2), Entry("z", 100000, 100000, 3), Entry("a", 30, 100, 1)},
       {true, false, true}, {{2, 0}}, {{30, 260}}},
      {"an empty stored entry needs no request",
       {Entry("a", 30, 100, 1), Entry("empty", 160, 0, 5), Entry("b", 190, 100, 2),
        Entry("z", 100000, 100000, 3)},
       {true, true, true, false}, {{0, 2}}, {{30, 260}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
    PackageManifest manifest;
    manifest.entries = row.entries;
    InstalledFiles ledger;
    UpdatePlanInput input;
    input.manifest = &manifest;
    input.ledger = &ledger;
    for (size_t i = 0; i < row.entries.size(); ++i) {
      const ManifestEntry& e = row.entries[i];
      ledger.files.push_back({e.name, e.size, e.sha256});
      input.disk.push_back(row.missing[i] ? DiskFile{} : OnDisk(e.size));
    }
    UpdatePlan plan = PlanUpdate(input);
    ASSERT_EQ(plan.ranges.size(), row.ranges.size());
    for (size_t r = 0; r < plan.ranges.size(); ++r) {
      EXPECT_EQ(plan.ranges[r].entries, row.ranges[r]);
      EXPECT_EQ(plan.ranges[r].offset, row.spans[r].first);
      EXPECT_EQ(plan.ranges[r].length, row.spans[r].second);
    }
    EXPECT_EQ(plan.fetch.size(), static_cast<size_t>(std::count(row.missing.begin(), row.missing.end(), true)));
  }
}

// Random packages, ledgers and disks: whatever the plan, its requests lie
// inside the package, never overlap, carry every fetched entry with data
// exactly once and no entry that is not fetched, and add up to the planned bytes.
TEST(UpdatePlan, RangesCoverEachFetchedEntryOnceInsideThePackage) {
  std::mt19937 random(35);
  for (int round = 0; round < 300; ++round) {
    PackageManifest manifest;
    InstalledFiles ledger;
    UpdatePlanInput input;
    input.manifest = &manifest;
    input.ledger = &ledger;
    uint64_t offset = 0;
    size_t count = random() % 12;
    for (size_t i = 0; i < count; ++i) {
      offset += 30 + random() % (round % 2 ? 200 : 100000);
      uint64_t size = random() % 4 == 0 ? 0 : 1 + random() % 5000;
      manifest.entries.push_back(Entry("f" + std::to_string(i), offset, size, static_cast<uint8_t>(i)));
      offset += size;
      uint8_t listed = random() % 3 == 0 ? 200 : static_cast<uint8_t>(i);
      if (random() % 5) ledger.files.push_back({"f" + std::to_string(i), size, Digest(listed)});
      input.disk.push_back(random() % 4 == 0 ? DiskFile{} : OnDisk(size));
    }
    std::shuffle(manifest.entries.begin(), manifest.entries.end(), random);
    UpdatePlan plan = PlanUpdate(input);

    std::vector<int> covered(manifest.entries.size(), 0);
    uint64_t sum = 0;
    uint64_t previousEnd = 0;
    for (const FetchRange& range : plan.ranges) {
      EXPECT_GT(range.length, 0u);
      EXPECT_GE(range.offset, previousEnd);
      previousEnd = range.offset + range.length;
      EXPECT_LE(previousEnd, plan.packageBytes);
      sum += range.length;
      for (size_t index : range.entries) {
        const ManifestEntry& e = manifest.entries[index];
        EXPECT_GE(e.dataOffset, range.offset);
        EXPECT_LE(e.dataOffset + e.compressedSize, range.offset + range.length);
        ++covered[index];
      }
    }
    EXPECT_EQ(sum, plan.plannedBytes);
    for (size_t i = 0; i < manifest.entries.size(); ++i) {
      bool fetched = std::count(plan.fetch.begin(), plan.fetch.end(), i) == 1;
      int expected = fetched && manifest.entries[i].compressedSize > 0 ? 1 : 0;
      EXPECT_EQ(covered[i], expected) << "entry " << i;
    }
  }
}
