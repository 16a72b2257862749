// The local extra field, the attributes and the DOS date and time of an entry
// come from the package archive. Reading the "UT" block must stay inside the
// field for any bytes at all (AddressSanitizer sees the field in a heap block
// of exactly its size), and must find the block and the times that a plain
// walk of the field finds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_check.h"
#include "unpack/zip_entry_rules.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Expected {
  bool found = false;
  bool has[3] = {false, false, false};
  uint64_t time[3] = {0, 0, 0};
};

// Blocks of id, size and data; the first is always looked at, a next one only
// when more than its 4 header bytes remain. In the first "UT" block a flag byte
// is followed by a 32-bit time for each flag set, as far as the block and the
// field hold whole times.
Expected Walk(const uint8_t* field, size_t size) {
  Expected e;
  if (size < 5) return e;
  size_t pos = 0;
  for (;;) {
    size_t blockSize = Le16(field + pos + 2);
    if (Le16(field + pos) == 0x5455) {
      e.found = true;
      size_t start = pos + 4, end = start + blockSize;
      if (end > size) end = size;
      if (start >= end) return e;
      unsigned flags = field[start];
      size_t p = start + 1;
      for (int i = 0; i < 3; ++i) {
        if (!(flags & (1u << i))) continue;
        if (end - p < 4) break;
        int64_t seconds = static_cast<int32_t>(Le32(field + p));
        e.has[i] = true;
        e.time[i] = static_cast<uint64_t>(seconds * 10000000 + 116444736000000000LL);
        p += 4;
      }
      return e;
    }
    size_t next = pos + 4 + blockSize;
    if (next >= size || size - next <= 4) return e;
    pos = next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  const uint16_t madeBy = static_cast<uint16_t>(Le16(data));
  const uint32_t external = Le32(data + 2);
  const uint16_t dosDate = static_cast<uint16_t>(Le16(data + 6));
  const uint16_t dosTime = static_cast<uint16_t>(Le16(data + 8));

  const uint32_t attributes = zip_rules::EntryAttributes(madeBy, external);
  FUZZ_CHECK((attributes & ~0x37u) == 0, "attribute bits " + std::to_string(attributes));
  const unsigned host = madeBy >> 8;
  if (host != 0 && host != 7 && host != 11 && host != 14) {
    FUZZ_CHECK(attributes & zip_rules::kArchive, "no archive bit");
    FUZZ_CHECK(!!(attributes & zip_rules::kDirectory) == !!(external & 0x40000000), "directory bit");
  } else {
    FUZZ_CHECK(!!(attributes & zip_rules::kDirectory) == !!(external & 0x10), "directory bit");
  }

  const zip_rules::DosTimeFields t = zip_rules::SplitDosDateTime(dosDate, dosTime);
  FUZZ_CHECK(t.year >= 1980 && t.year <= 2107 && t.month >= 0 && t.month <= 15 && t.day >= 0 &&
                 t.day <= 31 && t.hour >= 0 && t.hour <= 31 && t.minute >= 0 && t.minute <= 63 &&
                 t.second >= 0 && t.second <= 62,
             "time fields out of range");

  // The field in a block of exactly its size: one byte more read is a finding.
  const size_t fieldSize = size - 10;
  std::unique_ptr<uint8_t[]> field(new uint8_t[fieldSize ? fieldSize : 1]);
  if (fieldSize) std::memcpy(field.get(), data + 10, fieldSize);
  zip_rules::UtTimes times;
  const bool found = zip_rules::ParseUtExtra(fieldSize ? field.get() : nullptr, fieldSize, &times);

  const Expected want = Walk(field.get(), fieldSize);
  FUZZ_CHECK(found == want.found, found ? "found a UT block" : "missed the UT block");
  const bool has[3] = {times.hasWrite, times.hasAccess, times.hasCreation};
  const uint64_t time[3] = {times.writeTime, times.accessTime, times.creationTime};
  for (int i = 0; i < 3; ++i) {
    FUZZ_CHECK(has[i] == want.has[i], "time " + std::to_string(i) + " presence");
    if (has[i]) FUZZ_CHECK(time[i] == want.time[i], "time " + std::to_string(i) + " value");
  }
  return 0;
}
