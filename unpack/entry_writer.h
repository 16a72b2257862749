#pragma once
// Writes one file of a package from its compressed bytes as they arrive (a
// ranged download hands them over in blocks of any size): inflated or copied
// into "<target>.unpacking" beside the target, its size, CRC-32 and SHA-256
// checked against the package's manifest, and only then moved over the
// target (a read-only one too). Whatever fails, the target is as it was and
// the temporary is gone.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "base/sha256.h"
#include "unpack/package_manifest.h"

class FolderMaker;

enum class EntryWriteOutcome {
  kWritten,     // the checked file is in place
  kDataFault,   // the bytes are not the manifest's (decoding, size, CRC or SHA-256)
  kLocalFault,  // this machine could not take it (folder, file, disk, rights)
};

class EntryWriter {
 public:
  EntryWriter();
  ~EntryWriter();  // abandons an unfinished entry
  EntryWriter(const EntryWriter&) = delete;
  EntryWriter& operator=(const EntryWriter&) = delete;

  // Starts `entry` for `fullPath` (an absolute path inside the install
  // folder). With `folders`, the target's folder is made first; without,
  // it must exist. False (a local fault, `error` says why) when the
  // temporary cannot be created.
  bool Begin(const ManifestEntry& entry, const std::wstring& fullPath, FolderMaker* folders,
             std::string* error);
  // The next compressed bytes, in order. False when they cannot be the
  // manifest's (more than the entry holds, a broken stream) or cannot be
  // written; the entry is then abandoned and `Outcome` says which.
  bool Add(const char* data, size_t size, std::string* error);
  // Every compressed byte was given: checks and moves the file in place.
  bool Finish(std::string* error);
  // Removes the temporary of an entry that will not be finished.
  void Abandon();

  EntryWriteOutcome Outcome() const { return outcome_; }
  // The compressed bytes taken so far.
  uint64_t Taken() const { return taken_; }

 private:
  bool Fail(EntryWriteOutcome outcome, const std::string& why, std::string* error);
  bool Write(const unsigned char* data, size_t size, std::string* error);

  struct Inflater;
  ManifestEntry entry_;
  std::wstring targetApi_;
  std::wstring partApi_;
  base::UniqueFile file_;
  std::unique_ptr<Inflater> inflater_;  // method 8 only
  std::vector<unsigned char> out_;
  Sha256 sha_;
  unsigned long crc_ = 0;
  uint64_t taken_ = 0;
  uint64_t written_ = 0;
  bool streamEnded_ = false;
  bool open_ = false;
  EntryWriteOutcome outcome_ = EntryWriteOutcome::kWritten;
};
