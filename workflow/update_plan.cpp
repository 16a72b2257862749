#include "workflow/update_plan.h"

#include <algorithm>
#include <unordered_set>

#include "base/relative_name.h"
#include "install/keep_local.h"

namespace {

bool LedgerMatches(const InstalledFile* listed, const ManifestEntry& entry) {
  return listed && listed->size == entry.size && listed->sha256 == entry.sha256;
}

bool NeedsFetch(const ManifestEntry& entry, const InstalledFile* listed, const DiskFile& disk,
                bool keptLocal) {
  if (!disk.exists) return true;
  if (keptLocal) return false;  // the player's once written
  if (disk.size != entry.size) return true;
  if (disk.hashed) return disk.sha256 != entry.sha256;
  return !LedgerMatches(listed, entry);
}

std::vector<FetchRange> Coalesce(const PackageManifest& manifest, const std::vector<bool>& wanted) {
  // Every entry with data, in offset order: a range grows only over
  // neighbours in this order, so no unwanted entry's data are fetched.
  std::vector<size_t> order;
  for (size_t i = 0; i < manifest.entries.size(); ++i) {
    if (manifest.entries[i].compressedSize > 0) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return manifest.entries[a].dataOffset < manifest.entries[b].dataOffset;
  });
  std::vector<FetchRange> ranges;
  bool open = false;  // the last range may take the next entry
  for (size_t index : order) {
    if (!wanted[index]) {
      open = false;
      continue;
    }
    const ManifestEntry& entry = manifest.entries[index];
    uint64_t end = entry.dataOffset + entry.compressedSize;
    if (open) {
      FetchRange& last = ranges.back();
      uint64_t lastEnd = last.offset + last.length;
      if (entry.dataOffset <= lastEnd || entry.dataOffset - lastEnd <= kCoalesceGap) {
        last.length = std::max(lastEnd, end) - last.offset;
        last.entries.push_back(index);
        continue;
      }
    }
    FetchRange range;
    range.offset = entry.dataOffset;
    range.length = entry.compressedSize;
    range.entries.push_back(index);
    ranges.push_back(std::move(range));
    open = true;
  }
  return ranges;
}

}  // namespace

std::vector<size_t> EntriesToHash(const PackageManifest& manifest, const InstalledFiles* ledger,
                                  const std::vector<DiskFile>& disk,
                                  const std::vector<std::string>& keepLocal, bool repair) {
  std::vector<size_t> toHash;
  if (!ledger) return toHash;
  for (size_t i = 0; i < manifest.entries.size() && i < disk.size(); ++i) {
    const ManifestEntry& entry = manifest.entries[i];
    if (!disk[i].exists || disk[i].size != entry.size) continue;
    if (IsKeptLocal(entry.name, keepLocal)) continue;
    if (repair || !LedgerMatches(ledger->Find(entry.name), entry)) toHash.push_back(i);
  }
  return toHash;
}

std::vector<std::string> FilesToRemove(const InstalledFiles& ledger,
                                       const std::vector<std::string>& newNames,
                                       const std::vector<std::string>& keepLocal) {
  std::unordered_set<std::string> present;
  for (const std::string& name : newNames) present.insert(base::FoldedName(name));
  std::vector<std::string> remove;
  for (const InstalledFile& file : ledger.files) {
    if (present.count(base::FoldedName(file.name)) != 0) continue;
    if (IsKeptLocal(file.name, keepLocal)) continue;
    remove.push_back(file.name);
  }
  return remove;
}

UpdatePlan PlanUpdate(const UpdatePlanInput& input) {
  UpdatePlan plan;
  const PackageManifest& manifest = *input.manifest;
  plan.packageBytes = manifest.DataEnd();

  std::vector<std::string> names;
  names.reserve(manifest.entries.size());
  for (const ManifestEntry& entry : manifest.entries) names.push_back(entry.name);
  if (input.ledger) plan.remove = FilesToRemove(*input.ledger, names, input.keepLocal);

  if (!input.ledger) {
    plan.road = UpdateRoad::kWholePackage;
    plan.reason = "no list of installed files";
    return plan;
  }

  std::vector<bool> wanted(manifest.entries.size(), false);
  for (size_t i = 0; i < manifest.entries.size(); ++i) {
    const ManifestEntry& entry = manifest.entries[i];
    DiskFile disk = i < input.disk.size() ? input.disk[i] : DiskFile{};
    wanted[i] = NeedsFetch(entry, input.ledger->Find(entry.name), disk,
                           IsKeptLocal(entry.name, input.keepLocal));
  }
  plan.ranges = Coalesce(manifest, wanted);
  for (const FetchRange& range : plan.ranges) plan.plannedBytes += range.length;
  for (size_t i = 0; i < manifest.entries.size(); ++i) {
    if (wanted[i]) plan.fetch.push_back(i);
  }
  std::stable_sort(plan.fetch.begin(), plan.fetch.end(), [&](size_t a, size_t b) {
    return manifest.entries[a].dataOffset < manifest.entries[b].dataOffset;
  });

  if (plan.plannedBytes > plan.packageBytes / 2) {
    plan.road = UpdateRoad::kWholePackage;
    plan.reason = std::to_string(plan.plannedBytes) + " of " + std::to_string(plan.packageBytes) +
                  " bytes to fetch, more than half the package";
    return plan;
  }
  plan.road = UpdateRoad::kByEntries;
  return plan;
}
