#pragma once
// Serves many small reads at scattered offsets from a few windows of a file
// held in memory. minizip reads an archive field by field (a central
// directory record, then the entry's local header, then its data), which is
// hundreds of tiny reads per entry; with two windows, one over the central
// directory and one over the entry being unpacked, almost all of them are
// answered without a system call.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class ReadWindowCache {
 public:
  // Reads up to `size` bytes at `offset`: the count read (short only at the
  // end of the file), or -1 on an error.
  using Source = std::function<int64_t(uint64_t offset, void* buffer, size_t size)>;

  explicit ReadWindowCache(Source source, size_t windowSize = 256 * 1024, size_t windowCount = 2);

  // Same contract as Source. Reads of a window's size or more bypass the
  // windows. An error after some bytes were copied returns those bytes.
  int64_t Read(uint64_t offset, void* buffer, size_t size);

  // Calls made to the source so far.
  uint64_t SourceReads() const { return sourceReads_; }

 private:
  struct Window {
    uint64_t start = 0;
    size_t length = 0;
    uint64_t lastUse = 0;
    std::vector<char> data;
  };
  Window* Find(uint64_t offset);
  Window* Refill(uint64_t offset, bool* failed);

  Source source_;
  size_t windowSize_;
  std::vector<Window> windows_;
  uint64_t clock_ = 0;
  uint64_t sourceReads_ = 0;
};
