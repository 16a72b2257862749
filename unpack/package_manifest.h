#pragma once
// The manifest published beside a package ("<package file>.manifest"): one
// line per file entry with where its compressed data lie in the archive and
// the SHA-256 of what it unpacks to, so that an update can fetch single
// entries by byte range. Free of windows.h.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/digest_text.h"

struct ManifestEntry {
  std::string name;          // UTF-8, relative path below the install folder as the unpacker
                             // resolves the entry (cleaned name), '/' as the separator
  uint16_t method = 0;       // 0 stored, 8 deflated
  uint32_t crc32 = 0;
  uint64_t compressedSize = 0;
  uint64_t size = 0;         // uncompressed
  uint64_t dataOffset = 0;   // offset of the compressed data in the archive (after the local
                             // header and the local header's own extra field)
  Sha256Digest sha256{};     // of the uncompressed bytes

  bool operator==(const ManifestEntry& other) const;
  bool operator!=(const ManifestEntry& other) const { return !(*this == other); }
};

struct PackageManifest {
  std::vector<ManifestEntry> entries;  // file entries only, archive order

  // max(dataOffset + compressedSize): the package bytes an update plan
  // compares its own bytes with. 0 without entries.
  uint64_t DataEnd() const;
};

// One line per entry, LF-terminated, fields separated by one space, the name
// last so that it may hold spaces:
//   <sha256, 64 lower hex> <crc32, 8 lower hex> <method> <compressedSize> <size> <dataOffset> <name>
// Numbers in decimal without leading zeros.
std::string FormatManifest(const PackageManifest& manifest);

// Takes only the exact form FormatManifest writes, and only a manifest that
// an install can follow; otherwise false with the reason (and the line
// number) in `error`, and `manifest` untouched. Refused: no entries, a
// malformed field, a method other than 0 or 8, a stored entry whose sizes
// differ, a name that is empty, not UTF-8, holds a control character or a
// backslash, leaves the folder (absolute, drive, a ".." component), or is not
// a plain Windows name in every component; two names equal ignoring letter
// case (or one that is a folder of another); data ranges that overlap or run
// past 2^63.
bool ParseManifest(std::string_view text, PackageManifest* manifest, std::string* error);
