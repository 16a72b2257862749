// Entry names come from the package archive. After cleaning, a name that the
// unpacker accepts must stay inside the install folder: not absolute, no
// drive, and no step up that climbs above the folder however Windows reads
// the path's parts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "unpack/zip_entry_rules.h"

namespace {

// Names arrive as wide text cut at the first zero (the archive's name is read
// as a C string); each input byte is one unit here, which covers every
// character the rules look at.
std::wstring NameFrom(const uint8_t* data, size_t size) {
  std::wstring name;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) break;
    name += static_cast<wchar_t>(data[i]);
  }
  return name;
}

std::string Shown(const std::wstring& name) {
  std::string bytes;
  for (wchar_t c : name) bytes += static_cast<char>(c);
  return fuzz::Shown(bytes);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Windows takes ".." as the parent; trailing blanks are dropped from a part
// at the end of a path, and runs of three or more dots have meant a step up
// on some versions. Counting all of these as steps up errs on the safe side.
bool StepsUp(const std::wstring& part) {
  size_t end = part.find_last_not_of(L' ');
  if (end == std::wstring::npos || end < 1) return false;
  for (size_t i = 0; i <= end; ++i)
    if (part[i] != L'.') return false;
  return true;
}

// Depth below the install folder after each part; false once it goes above.
bool StaysInside(const std::wstring& name) {
  long depth = 0;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::wstring part = name.substr(start, end - start);
    if (StepsUp(part)) {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != L".") {
      ++depth;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring raw = NameFrom(data, size);
  const std::wstring name = zip_rules::CleanEntryName(raw);

  // Cleaning only drops leading pieces and stops when no rule applies.
  FUZZ_CHECK(name.size() <= raw.size() && raw.compare(raw.size() - name.size(), name.size(), name) == 0,
             "not a tail: " + Shown(raw) + " -> " + Shown(name));
  FUZZ_CHECK(zip_rules::CleanEntryName(name) == name, "cleaning again changes " + Shown(name));
  FUZZ_CHECK(name.empty() || !IsSeparator(name[0]), "absolute: " + Shown(name));
  FUZZ_CHECK(name.size() < 2 || name[1] != L':', "drive: " + Shown(name));
  for (const wchar_t* climb : {L"\\..\\", L"\\../", L"/../", L"/..\\"})
    FUZZ_CHECK(name.find(climb) == std::wstring::npos, "climb left in " + Shown(name));

  if (!zip_rules::NameLeavesFolder(name))
    FUZZ_CHECK(StaysInside(name), "accepted but leaves the folder: " + Shown(raw) + " -> " + Shown(name));
  return 0;
}
