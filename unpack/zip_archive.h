#pragma once
// Reading a zip package through minizip's 64-bit interface: entries beyond
// 4 GiB and archives with more than 65,535 entries (zip64) are read too.
#include <cstdint>
#include <string>
#include <vector>

#include "base/sha256.h"

// What the launcher needs of one entry.
struct ZipEntry {
  std::wstring name;        // stored name decoded as UTF-8, then cleaned
  uint32_t attributes = 0;  // Windows file attributes
  // FILETIME values (100 ns since 1601, UTC) from the DOS stamp; 0 = unknown.
  // Extract refines them from the local header's "UT" field.
  uint64_t creationTime = 0;
  uint64_t accessTime = 0;
  uint64_t writeTime = 0;
  uint64_t size = 0;            // uncompressed bytes
  uint64_t compressedSize = 0;
  // Where its central directory record stands, so that any reader of the
  // same archive can go straight to it.
  uint64_t recordOffset = 0;
  uint64_t recordNumber = 0;
  bool IsDirectory() const { return (attributes & 0x10) != 0; }
};

// How writing one entry ended.
enum class EntryOutcome {
  kWritten,       // the entry's data (CRC checked) or folder are in place
  kRefused,       // a name refused for safety: never written, and no later run could do better
  kArchiveFault,  // the archive's data are bad (damaged, CRC, encrypted, method)
  kLocalFault,    // this machine could not take it (file locked, disk, rights)
};

class ZipArchive {
 public:
  ZipArchive() = default;
  ~ZipArchive() { Close(); }
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Opens for reading, sharing the file with readers only, so that nobody can
  // delete or change it while it is read. False when it is missing or no zip;
  // `error` then says which.
  bool Open(const std::wstring& path, std::string* error);
  // The same for an archive the caller holds open (for reading, denying
  // writers): a reader of its own over that very file, never reopened by
  // name. `held` must stay open while this archive is open.
  bool OpenHeld(void* held, std::string* error);
  void Close();

  // Entries the central directory declares (at most INT32_MAX).
  int32_t EntryCount() const { return count_; }

  // Entry `index` (0-based, archive order). On failure `error` tells why.
  bool ReadEntry(int32_t index, ZipEntry* entry, std::string* error);

  // Writes the file entry `entry` (as ReadEntry gave it, from this archive
  // object or another one over the same file) to `fullPath`, whose folder
  // exists: the data in blocks, with the entry's attributes and times. A file
  // that exists, read-only or not, is replaced only once the new data are
  // complete and their CRC checked (they go to a temporary name beside it
  // first); a new file whose entry fails is removed again. `freshFolder` says
  // that the folder was created by this unpacking job, so that only a file
  // the job wrote itself can be in the way. `error` tells why an entry was
  // not written. With `digest`, the bytes written are hashed on the way
  // (SHA-256), and the digest is set when the entry is written.
  EntryOutcome Extract(const ZipEntry& entry, const std::wstring& fullPath, bool freshFolder, std::string* error,
                       Sha256Digest* digest = nullptr);

 private:
  bool Opened(void* zip, std::string* error);
  bool GoTo(int32_t index, std::string* error);
  bool GoToRecord(const ZipEntry& entry, std::string* error);

  void* zip_ = nullptr;  // unzFile
  int32_t count_ = 0;
  int32_t current_ = -1;  // entry the reader stands on, -1 when unknown
  int32_t brokenAt_ = -1;  // first entry the central directory walk could not reach
  std::vector<char> block_;  // one data block, reused for every entry
  Sha256 hasher_;            // one per reader, reused for every entry
};
