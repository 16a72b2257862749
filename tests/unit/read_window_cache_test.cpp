#include "unpack/read_window_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// A file in memory that counts and can fail the reads made of it.
struct FakeFile {
  std::string bytes;
  int calls = 0;
  int failFromCall = -1;  // the call number from which reads fail

  ReadWindowCache::Source Source() {
    return [this](uint64_t offset, void* buffer, size_t size) -> int64_t {
      ++calls;
      if (failFromCall >= 0 && calls >= failFromCall) return -1;
      if (offset >= bytes.size()) return 0;
      size_t n = std::min<size_t>(size, bytes.size() - static_cast<size_t>(offset));
      std::memcpy(buffer, bytes.data() + offset, n);
      return static_cast<int64_t>(n);
    };
  }
};

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
  return s;
}

std::string ReadThrough(ReadWindowCache& cache, uint64_t offset, size_t size, int64_t* got) {
  std::string out(size, '\x7f');
  *got = cache.Read(offset, &out[0], size);
  out.resize(*got > 0 ? static_cast<size_t>(*got) : 0);
  return out;
}

}  // namespace

TEST(ReadWindowCache, AnyReadReturnsTheFilesBytes) {
  FakeFile file{Pattern(10000)};
  ReadWindowCache cache(file.Source(), 1024, 2);
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    uint64_t offset = rng() % 10100;  // some past the end
    size_t size = rng() % 3000;       // some larger than a window
    int64_t got = 0;
    std::string read = ReadThrough(cache, offset, size, &got);
    std::string expected = offset < file.bytes.size() ? file.bytes.substr(offset, size) : std::string();
    ASSERT_EQ(read, expected) << "offset " << offset << " size " << size;
  }
}

TEST(ReadWindowCache, AlternatingRegionsAreServedFromTwoWindows) {
  // Record by record from a directory at the end, each followed by a header
  // and data near the start: the pattern of unpacking small entries.
  FakeFile file{Pattern(1 << 20)};
  ReadWindowCache cache(file.Source(), 64 * 1024, 2);
  char buffer[64];
  for (int entry = 0; entry < 500; ++entry) {
    for (int field = 0; field < 12; ++field) cache.Read(900000 + entry * 46 + field * 4, buffer, 4);
    for (int field = 0; field < 8; ++field) cache.Read(entry * 100 + field * 4, buffer, 4);
    cache.Read(entry * 100 + 40, buffer, 60);
  }
  // 23 KiB of directory and 50 KiB of entries: one window each.
  EXPECT_EQ(file.calls, 2);
  EXPECT_EQ(cache.SourceReads(), 2u);
}

TEST(ReadWindowCache, LargeReadsBypassTheWindows) {
  FakeFile file{Pattern(1 << 20)};
  ReadWindowCache cache(file.Source(), 4096, 2);
  std::vector<char> big(100000);
  EXPECT_EQ(cache.Read(1000, big.data(), big.size()), 100000);
  EXPECT_EQ(file.calls, 1);
  EXPECT_EQ(std::memcmp(big.data(), file.bytes.data() + 1000, big.size()), 0);
}

TEST(ReadWindowCache, EndOfFileGivesShortReads) {
  FakeFile file{Pattern(5000)};
  ReadWindowCache cache(file.Source(), 1024, 2);
  int64_t got = 0;
  EXPECT_EQ(ReadThrough(cache, 4990, 100, &got), file.bytes.substr(4990));
  EXPECT_EQ(got, 10);
  ReadThrough(cache, 5000, 10, &got);
  EXPECT_EQ(got, 0);
  ReadThrough(cache, 1u << 30, 10, &got);
  EXPECT_EQ(got, 0);
  // Empty file.
  FakeFile empty;
  ReadWindowCache nothing(empty.Source(), 1024, 2);
  ReadThrough(nothing, 0, 10, &got);
  EXPECT_EQ(got, 0);
}

TEST(ReadWindowCache, ErrorsAreReportedNotCached) {
  FakeFile file{Pattern(8192)};
  ReadWindowCache cache(file.Source(), 1024, 1);
  file.failFromCall = 1;
  char buffer[16];
  EXPECT_EQ(cache.Read(0, buffer, sizeof buffer), -1);
  // The failed window holds nothing: once the file reads again, so does the cache.
  file.failFromCall = -1;
  int64_t got = 0;
  EXPECT_EQ(ReadThrough(cache, 0, 16, &got), file.bytes.substr(0, 16));
  // A failure part-way through a read returns what was copied: the window
  // holds bytes up to 1023, the refill for the rest fails.
  file.failFromCall = file.calls + 1;
  EXPECT_EQ(cache.Read(1016, buffer, sizeof buffer), 8);
  EXPECT_EQ(std::string(buffer, 8), file.bytes.substr(1016, 8));
}
