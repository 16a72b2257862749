#pragma once
// What an update or a repair fetches of a new package, entry by entry: from
// the package's manifest, the ledger of the files the last install wrote
// ("pkg.files") and what the caller found on disk. The caller looks at the
// disk in two steps: sizes of every manifest name first, then the digests of
// the names EntriesToHash returns; PlanUpdate then decides. Free of windows.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/digest_text.h"
#include "install/installed_files.h"
#include "unpack/package_manifest.h"

// One manifest name as found below the install folder.
struct DiskFile {
  bool exists = false;
  uint64_t size = 0;
  bool hashed = false;   // `sha256` holds the digest of the file's bytes
  Sha256Digest sha256{};
};

// One request: the bytes [offset, offset + length) of the package, holding
// the compressed data of `entries` (manifest indices, in offset order). Two
// entries share a range only when no other entry's data lie between them.
struct FetchRange {
  uint64_t offset = 0;
  uint64_t length = 0;
  std::vector<size_t> entries;
};

enum class UpdateRoad { kByEntries, kWholePackage };

struct UpdatePlanInput {
  const PackageManifest* manifest = nullptr;  // the new package's
  const InstalledFiles* ledger = nullptr;     // null when there is no ledger
  std::vector<DiskFile> disk;                 // one per manifest entry, in its order
  std::vector<std::string> keepLocal;         // patterns of the player's own files
  bool repair = false;                        // a run asked to check every file's bytes
};

struct UpdatePlan {
  UpdateRoad road = UpdateRoad::kWholePackage;
  std::string reason;            // why the whole package, for the log; empty by entries
  std::vector<size_t> fetch;     // manifest indices to write, in offset order; an entry
                                 // without compressed bytes is in no range (written empty)
  std::vector<FetchRange> ranges;  // in offset order, never overlapping
  std::vector<std::string> remove;  // ledger names the new package no longer has
  uint64_t plannedBytes = 0;     // the sum of the ranges' lengths
  uint64_t packageBytes = 0;     // the manifest's DataEnd
};

// Two fetched entries whose data are at most this far apart (the next one's
// local header, a data descriptor) share one request.
constexpr uint64_t kCoalesceGap = 64 * 1024;

// The manifest entries whose files must be hashed before planning: a file
// with the new size whose ledger line differs from the manifest's, or that
// the ledger does not list (a killed update may already have put the new
// file in place), and in a repair run every listed file with the right
// size. Kept-local files and files that are missing or of another size are
// never hashed (they are fetched or kept as they are without it).
std::vector<size_t> EntriesToHash(const PackageManifest& manifest, const InstalledFiles* ledger,
                                  const std::vector<DiskFile>& disk,
                                  const std::vector<std::string>& keepLocal, bool repair);

// The ledger's names that none of `newNames` names (letter case ignored, as
// Windows does), except kept-local ones: the files an update deletes once
// every new file is in place. Shared by both roads.
std::vector<std::string> FilesToRemove(const InstalledFiles& ledger,
                                       const std::vector<std::string>& newNames,
                                       const std::vector<std::string>& keepLocal);

// The plan. An entry is fetched when its file is missing, has another size
// than the manifest's, or its bytes (hashed) or ledger line differ from the
// manifest's; a kept-local entry only when its file is missing. The whole
// package instead when there is no ledger or the planned bytes are more
// than half the package's.
UpdatePlan PlanUpdate(const UpdatePlanInput& input);
