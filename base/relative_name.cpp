#include "base/relative_name.h"

#include <cstdint>

#include "base/file_name_rules.h"

namespace base {
namespace {

// Reads one code point at `at`; false on anything but shortest-form UTF-8 of
// a scalar value.
bool NextCodePoint(std::string_view text, size_t& at, uint32_t& cp) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  size_t length = 0;
  uint32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    ++at;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, min = 0x80, cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, min = 0x800, cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return false;
  }
  if (text.size() - at < length) return false;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[at + i]);
    if ((c & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  at += length;
  return true;
}

void AppendUtf8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

uint32_t UpperCase(uint32_t cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 0x20;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;  // Latin-1
  if (cp == 0xFF) return 0x178;
  // Latin Extended-A: upper case at the even code point, lower at the odd one,
  // shifted by one in 0x139-0x148 and 0x179-0x17E; the dotless i stays.
  if (cp >= 0x100 && cp <= 0x137 && cp != 0x131) return cp & ~1u;
  if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) return (cp & 1) ? cp : cp - 1;
  if (cp >= 0x14A && cp <= 0x177) return cp & ~1u;
  if (cp >= 0x3B1 && cp <= 0x3CB && cp != 0x3C2) return cp - 0x20;  // Greek
  if (cp == 0x3C2) return 0x3A3;                                    // final sigma
  if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;                 // Cyrillic
  if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;
  return cp;
}

}  // namespace

bool DecodeUtf8(std::string_view text, std::wstring* wide) {
  std::wstring out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    uint32_t cp = 0;
    if (!NextCodePoint(text, at, cp)) return false;
    if (cp >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  *wide = std::move(out);
  return true;
}

std::string RelativeNameProblem(std::string_view name) {
  if (name.empty()) return "empty name";
  std::wstring wide;
  if (!DecodeUtf8(name, &wide)) return "the name is not UTF-8";
  for (wchar_t c : wide) {
    if (c < 0x20 || c == 0x7F) return "control character in the name";
    if (c == L'\\') return "backslash in the name";
  }
  if (wide[0] == L'/') return "the name leaves the folder (absolute)";
  if (wide.size() >= 2 && wide[1] == L':') return "the name leaves the folder (drive)";
  size_t start = 0;
  while (true) {
    size_t end = wide.find(L'/', start);
    if (end == std::wstring::npos) end = wide.size();
    const std::wstring part = wide.substr(start, end - start);
    if (part == L"..") return "the name leaves the folder (\"..\")";
    if (part.empty() || part == L".") return "empty or \".\" component in the name";
    if (!IsPlainFileName(part)) return "\"" + std::string(name.substr(start, end - start)) + "\" is not a Windows file name";
    if (end == wide.size()) break;
    start = end + 1;
  }
  return std::string();
}

std::string FoldedName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t at = 0;
  while (at < name.size()) {
    uint32_t cp = 0;
    const size_t from = at;
    if (NextCodePoint(name, at, cp)) {
      AppendUtf8(UpperCase(cp), out);
    } else {
      out += name[from];
      at = from + 1;
    }
  }
  return out;
}

std::u32string FoldedCharacters(std::string_view name) {
  std::u32string out;
  out.reserve(name.size());
  size_t at = 0;
  while (at < name.size()) {
    uint32_t cp = 0;
    const size_t from = at;
    if (NextCodePoint(name, at, cp)) {
      out += static_cast<char32_t>(UpperCase(cp));
    } else {
      out += static_cast<char32_t>(static_cast<unsigned char>(name[from]));
      at = from + 1;
    }
  }
  return out;
}

}  // namespace base
