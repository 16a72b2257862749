#include "base/paths.h"

#include <windows.h>

namespace base {

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (path.size() > 1 && IsSeparator(path.back())) {
    bool driveRoot = path.size() == 3 && path[1] == L':';
    if (driveRoot) break;
    path.pop_back();
  }
  return path;
}

bool SamePathText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool StartsWithPathText(const std::wstring& text, const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  return CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace base
