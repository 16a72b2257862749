#pragma once
// Conversions between wide (UTF-16) text and 8-bit text in a code page.
#include <string>

namespace base {

constexpr unsigned kCodePageAnsi = 0;     // CP_ACP
constexpr unsigned kCodePageUtf8 = 65001;  // CP_UTF8

// Both stop at the first zero character, like the platform's zero-terminated
// conversions. Texts up to 4096 units convert through a per-thread scratch buffer.
std::wstring ToWide(const std::string& text, unsigned codePage = kCodePageUtf8);
std::string ToNarrow(const std::wstring& text, unsigned codePage = kCodePageUtf8);

inline std::string Utf8(const std::wstring& text) { return ToNarrow(text, kCodePageUtf8); }

}  // namespace base
