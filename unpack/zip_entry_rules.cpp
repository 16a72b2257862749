#include "unpack/zip_entry_rules.h"

namespace zip_rules {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Applies the first rule that matches; false when none does.
bool ApplyOneRule(std::wstring& name) {
  if (name.size() >= 2 && name[1] == L':') {
    name.erase(0, 2);
    return true;
  }
  if (!name.empty() && IsSeparator(name[0])) {
    name.erase(0, 1);
    return true;
  }
  // The sequences are tried in this fixed order; the first one present wins,
  // even if another one occurs earlier in the name.
  static const wchar_t* const kClimbs[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  for (const wchar_t* climb : kClimbs) {
    size_t at = name.find(climb);
    if (at != std::wstring::npos) {
      name.erase(0, at + 4);
      return true;
    }
  }
  return false;
}

// "..", and the spellings Windows may fold into it ("...", ".. ") when it
// normalizes a path, all count as a step up.
bool IsClimb(const std::wstring& part) {
  if (part.size() < 2 || part[0] != L'.' || part[1] != L'.') return false;
  for (wchar_t c : part)
    if (c != L'.' && c != L' ') return false;
  return true;
}

uint32_t ReadLe16(const unsigned char* p) { return p[0] | (p[1] << 8); }

uint32_t ReadLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

std::wstring CleanEntryName(std::wstring name) {
  while (ApplyOneRule(name)) {
  }
  return name;
}

bool NameLeavesFolder(const std::wstring& name) {
  long depth = 0;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::wstring part = name.substr(start, end - start);
    if (IsClimb(part)) {
      if (--depth < 0) return true;
    } else if (!part.empty() && part != L".") {
      ++depth;
    }
    start = end + 1;
  }
  return false;
}

std::string UnsupportedDataReason(uint16_t flags, uint16_t method) {
  constexpr uint16_t kStored = 0;
  constexpr uint16_t kDeflated = 8;
  if (flags & 1) return "the data are encrypted";
  if (method != kStored && method != kDeflated)
    return "compression method " + std::to_string(method) + " is not supported";
  return "";
}

uint32_t EntryAttributes(uint16_t versionMadeBy, uint32_t external) {
  unsigned host = versionMadeBy >> 8;
  // These hosts keep DOS attribute bits in the low byte (0 is FAT, 14 VFAT).
  if (host == 0 || host == 7 || host == 11 || host == 14) {
    uint32_t a = 0;
    if (external & 0x01) a |= kReadOnly;
    if (external & 0x02) a |= kHidden;
    if (external & 0x04) a |= kSystem;
    if (external & 0x10) a |= kDirectory;
    if (external & 0x20) a |= kArchive;
    return a;
  }
  // Everything else is read as Unix mode bits in the high 16 bits.
  uint32_t a = kArchive;
  if (!(external & 0x00800000)) a |= kReadOnly;  // owner may not write
  if (external & 0x40000000) a |= kDirectory;    // S_IFDIR
  return a;
}

DosTimeFields SplitDosDateTime(uint16_t date, uint16_t time) {
  DosTimeFields f;
  f.year = 1980 + (date >> 9);
  f.month = (date >> 5) & 15;
  f.day = date & 31;
  f.hour = time >> 11;
  f.minute = (time >> 5) & 63;
  f.second = (time & 31) * 2;
  return f;
}

uint64_t UnixTimeToFileTime(int64_t seconds) {
  return static_cast<uint64_t>(seconds * 10000000LL + 116444736000000000LL);
}

bool ParseUtExtra(const unsigned char* data, size_t size, UtTimes* out) {
  *out = UtTimes();
  if (!data) return false;
  size_t pos = 0;
  // A block header is 4 bytes; a block is only looked at when more than that
  // remains from its start.
  while (size - pos > 4) {
    uint32_t id = ReadLe16(data + pos);
    size_t blockSize = ReadLe16(data + pos + 2);
    size_t dataStart = pos + 4;
    if (id == 0x5455) {  // "UT"
      // Only bytes inside both the block and the field are read, whatever the
      // flags promise.
      size_t dataEnd = dataStart + blockSize < size ? dataStart + blockSize : size;
      if (dataStart >= dataEnd) return true;
      unsigned flags = data[dataStart];
      size_t p = dataStart + 1;
      auto take = [&](bool wanted, bool* has, uint64_t* time) {
        if (!wanted) return;
        if (dataEnd - p < 4) {
          p = dataEnd;
          return;
        }
        *time = UnixTimeToFileTime(static_cast<int32_t>(ReadLe32(data + p)));
        *has = true;
        p += 4;
      };
      take(flags & 1, &out->hasWrite, &out->writeTime);
      take(flags & 2, &out->hasAccess, &out->accessTime);
      take(flags & 4, &out->hasCreation, &out->creationTime);
      return true;
    }
    pos = dataStart + blockSize;
    if (pos >= size) break;
  }
  return false;
}

}  // namespace zip_rules
