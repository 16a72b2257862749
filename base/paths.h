#pragma once
// Path text as Windows compares and spells it.
#include <string>

namespace base {

// `path` without trailing "\" or "/", except the one that makes a root
// ("C:\", "\"): trimming that would turn the root into another path.
std::wstring WithoutTrailingSeparators(std::wstring path);

// The file system's own comparison of names: ordinal, ignoring case.
bool SamePathText(const std::wstring& a, const std::wstring& b);
// True when `text` begins with `prefix` under the same comparison.
bool StartsWithPathText(const std::wstring& text, const std::wstring& prefix);

}  // namespace base
