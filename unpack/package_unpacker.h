#pragma once
// Unpacks a whole package into a folder. The central directory is read once
// and every folder is made first; then the file entries are spread over
// worker threads, each with a reader of its own over the archive, while the
// caller's thread works as one of them. Entries that land on the same file
// stay together on one worker, in archive order, so a repeated name ends as it
// would one entry after the other.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/digest_text.h"

// A file of the package as it is on disk after the unpacking: its name as
// the package names it (the cleaned entry name in UTF-8, '/' between
// folders), its size and the SHA-256 of its bytes.
struct UnpackedFile {
  std::string name;
  uint64_t size = 0;
  Sha256Digest sha256{};
  bool kept = false;  // an existing file the caller asked to keep, left as it was
};

struct UnpackOutcome {
  bool archiveIsZip = false;  // the archive could be read as a zip
  int32_t count = 0;          // entries it declares
  int32_t failed = 0;         // entries that could not be written
  int32_t skipped = 0;        // names refused for safety
  bool archiveFault = false;  // a failure lay in the archive's own data
  // Every file entry that is in place, in archive order, one per file (of
  // entries that land on the same file, the last one written). Entries that
  // failed or were refused are not listed.
  std::vector<UnpackedFile> files;
};

struct UnpackCallbacks {
  // Once the archive is open, with its entry count, before any entry.
  std::function<void(int32_t count)> opened;
  // After each entry with the number of entries finished so far. It may be
  // called from any worker, and two calls can arrive out of order.
  std::function<void(int32_t finished)> entryDone;
  // Asked once per file entry, with its name in UnpackedFile's form, before
  // any worker starts: true keeps a file that already exists under that
  // name as it is (it is hashed, not replaced). A missing one is written.
  std::function<bool(const std::string& name)> keepIfPresent;
};

// Workers worth starting for a package: one for a small one, else one per
// processor (at most four).
unsigned UnpackWorkersFor(int32_t entries, uint64_t bytes);

// Unpacks `archivePath` below `targetDir` (ending with a backslash) on at
// most `workers` threads (0: as UnpackWorkersFor says). Every entry that
// fails is logged with its reason. The archive is closed by all workers when
// this returns.
UnpackOutcome UnpackPackage(const std::wstring& archivePath, const std::wstring& targetDir, unsigned workers,
                            const UnpackCallbacks& callbacks);

// The same for an archive the caller holds open for reading, denying writers
// (`archiveName` names it in the log): every worker reads that very file
// through a reader of its own, none opens it by name again.
UnpackOutcome UnpackHeldPackage(void* held, const std::wstring& archiveName, const std::wstring& targetDir,
                                unsigned workers, const UnpackCallbacks& callbacks);
