#pragma once
// How a zip entry's stored fields become a path, attributes and file times.
// Pure logic without windows.h, so it also builds natively for fuzzing.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zip_rules {

// Windows file attribute bits used by the attribute table.
constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;

// Strips drive letters, leading separators and everything up to a
// "<sep>..<sep>" sequence, repeated until none of these rules applies.
std::wstring CleanEntryName(std::wstring name);

// True when a (cleaned) name would place its entry outside the folder it is
// unpacked into: a ".." component that climbs above the start.
bool NameLeavesFolder(const std::wstring& name);

// Why the launcher cannot decode an entry's data, from its general-purpose
// flags and compression method; empty when it can (stored or deflated, not
// encrypted).
std::string UnsupportedDataReason(uint16_t flags, uint16_t method);

// Windows attributes from the version-made-by field (host in its high byte)
// and the 32-bit external attributes.
uint32_t EntryAttributes(uint16_t versionMadeBy, uint32_t externalAttributes);

struct DosTimeFields {
  int year = 1980;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
DosTimeFields SplitDosDateTime(uint16_t dosDate, uint16_t dosTime);

// 100 ns units since 1601-01-01 UTC for whole seconds since 1970.
uint64_t UnixTimeToFileTime(int64_t seconds);

// The times an "UT" extra block carries; each is valid only when its flag is set.
struct UtTimes {
  bool hasWrite = false;
  bool hasAccess = false;
  bool hasCreation = false;
  uint64_t writeTime = 0;
  uint64_t accessTime = 0;
  uint64_t creationTime = 0;
};

// Walks a local-header extra field and reads the first "UT" block in it.
// Returns false when the field holds no such block.
bool ParseUtExtra(const unsigned char* data, size_t size, UtTimes* out);

}  // namespace zip_rules
