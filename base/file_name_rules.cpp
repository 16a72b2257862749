#include "base/file_name_rules.h"

namespace base {

namespace {

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Windows opens these devices under any extension and in any folder: "nul.txt"
// in the install folder is the null device, not a file.
bool IsDeviceName(const std::wstring& name) {
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& c : stem) c = UpperAscii(c);
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices)
    if (stem == device) return true;
  // COM1-COM9 and LPT1-LPT9, also with the superscript digits Windows accepts.
  if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0)) {
    wchar_t d = stem[3];
    return (d >= L'1' && d <= L'9') || d == 0x00B9 || d == 0x00B2 || d == 0x00B3;
  }
  return false;
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case L'\\': case L'/': case L':': case L'*': case L'?': case L'"': case L'<': case L'>':
      case L'|':
        return false;
      default:
        break;
    }
  }
  // Windows drops a trailing dot or blank when it opens the name, so "x." or
  // "x " would open a different file than the one checked here.
  if (name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

}  // namespace base
