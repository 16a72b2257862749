#include "workflow/entry_router.h"

#include <algorithm>

#include "base/log.h"
#include "base/text.h"
#include "unpack/unpack_path.h"

EntryRouter::EntryRouter(const PackageManifest& manifest, std::vector<FetchRange> ranges, std::wstring installDir)
    : manifest_(manifest), ranges_(std::move(ranges)), installDir_(std::move(installDir)) {}

bool EntryRouter::PathOf(const ManifestEntry& entry, std::wstring* path, std::string* error) {
  if (ResolveEntryPath(installDir_, base::ToWide(entry.name), path)) return true;
  *error = Log("entry %s: the name does not stay inside the install folder", entry.name.c_str());
  return false;
}

bool EntryRouter::Failed(size_t index, const std::string& why, std::string* error) {
  writing_ = false;
  if (writer_.Outcome() != EntryWriteOutcome::kDataFault) {
    *error = why;
    return false;
  }
  // The bytes are not the manifest's: the rest of this entry is dropped.
  skipping_ = true;
  mismatched_.push_back(index);
  if (mismatchError_.empty()) mismatchError_ = why;
  return true;
}

bool EntryRouter::Take(size_t range, uint64_t offset, const char* data, size_t size, std::string* error) {
  if (range >= ranges_.size()) {
    *error = Log("bytes of an unknown range %llu", static_cast<unsigned long long>(range));
    return false;
  }
  if (range != range_) {
    writer_.Abandon();  // a range left unfinished before (the download goes on in order)
    range_ = range;
    next_ = 0;
    writing_ = false;
    skipping_ = false;
  }
  const std::vector<size_t>& entries = ranges_[range].entries;
  while (size > 0 && next_ < entries.size()) {
    size_t index = entries[next_];
    const ManifestEntry& entry = manifest_.entries[index];
    uint64_t end = entry.dataOffset + entry.compressedSize;
    if (offset >= end) {  // bytes of a later entry
      if (writing_) writer_.Abandon();
      ++next_;
      writing_ = skipping_ = false;
      continue;
    }
    if (offset < entry.dataOffset) {  // a header or descriptor between entries
      uint64_t skip = std::min<uint64_t>(size, entry.dataOffset - offset);
      offset += skip;
      data += skip;
      size -= static_cast<size_t>(skip);
      continue;
    }
    size_t piece = static_cast<size_t>(std::min<uint64_t>(size, end - offset));
    std::string why;
    if (!writing_ && !skipping_) {
      std::wstring path;
      if (!PathOf(entry, &path, error)) return false;
      if (offset != entry.dataOffset) {
        // Its first bytes never came: it cannot be checked.
        skipping_ = true;
        mismatched_.push_back(index);
        if (mismatchError_.empty()) mismatchError_ = "entry " + entry.name + " checksum mismatch";
      } else if (writer_.Begin(entry, path, &folders_, &why)) {
        writing_ = true;
      } else if (!Failed(index, why, error)) {
        return false;
      }
    }
    if (writing_ && !writer_.Add(data, piece, &why) && !Failed(index, why, error)) return false;
    offset += piece;
    data += piece;
    size -= piece;
    if (offset == end) {
      if (writing_) {
        if (writer_.Finish(&why)) {
          written_.push_back(index);
          writing_ = false;
        } else if (!Failed(index, why, error)) {
          return false;
        }
      }
      ++next_;
      writing_ = skipping_ = false;
    }
  }
  return true;
}

bool EntryRouter::WriteEmpty(const std::vector<size_t>& fetch, std::string* error) {
  for (size_t index : fetch) {
    const ManifestEntry& entry = manifest_.entries[index];
    if (entry.compressedSize != 0) continue;
    std::wstring path;
    if (!PathOf(entry, &path, error)) return false;
    std::string why;
    if (writer_.Begin(entry, path, &folders_, &why) && writer_.Finish(&why)) {
      written_.push_back(index);
    } else if (!Failed(index, why, error)) {
      return false;
    }
    skipping_ = false;
  }
  return true;
}
