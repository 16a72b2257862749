#pragma once
// Hands the bytes of a ranged download of a package to the entries they
// belong to: one EntryWriter at a time, in offset order, the bytes between
// two entries (a local header, a data descriptor) skipped. An entry whose
// bytes are not the manifest's is noted and the others go on, so the caller
// can fetch it once more; a fault of this machine stops the download.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "unpack/entry_writer.h"
#include "unpack/folder_maker.h"
#include "unpack/package_manifest.h"
#include "workflow/update_plan.h"

class EntryRouter {
 public:
  // `installDir` ends with a backslash; every entry goes below it, at its
  // name resolved as the unpacker resolves it.
  EntryRouter(const PackageManifest& manifest, std::vector<FetchRange> ranges, std::wstring installDir);

  // The sink of the ranged download (RangeDownload::sink): the bytes of
  // range `range` at `offset` of the package, in order. False, with the
  // error, only for a fault of this machine.
  bool Take(size_t range, uint64_t offset, const char* data, size_t size, std::string* error);

  // Writes the entries of `fetch` that have no compressed bytes (no range
  // carries them); not while a download feeds Take. False, with the error,
  // on a fault of this machine.
  bool WriteEmpty(const std::vector<size_t>& fetch, std::string* error);

  // Abandons the entry being written (a download that ended early).
  void Abandon() { writer_.Abandon(); }

  // Entries in place, and entries whose bytes were not the manifest's (with
  // the error text of the first of them).
  const std::vector<size_t>& Written() const { return written_; }
  const std::vector<size_t>& Mismatched() const { return mismatched_; }
  const std::string& MismatchError() const { return mismatchError_; }

 private:
  // The writer of entry `index` failed with `why`: true (the entry noted)
  // when its bytes were not the manifest's, false (the error set) otherwise.
  bool Failed(size_t index, const std::string& why, std::string* error);
  bool PathOf(const ManifestEntry& entry, std::wstring* path, std::string* error);

  const PackageManifest& manifest_;
  std::vector<FetchRange> ranges_;
  std::wstring installDir_;
  FolderMaker folders_;
  EntryWriter writer_;
  size_t range_ = SIZE_MAX;  // the range being taken
  size_t next_ = 0;          // its entry being or to be written (position in the range's list)
  bool writing_ = false;     // writer_ holds that entry
  bool skipping_ = false;    // that entry failed; its remaining bytes are dropped
  std::vector<size_t> written_;
  std::vector<size_t> mismatched_;
  std::string mismatchError_;
};
