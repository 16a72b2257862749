#pragma once
// The character classes the launcher's text grammars use, for 8-bit text:
// what ECMAScript's "\w" and "\s" name in the "C" locale. Bytes above 0x7f
// are in neither class. Free of windows.h.

namespace base {

inline bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Space, tab, LF, vertical tab, form feed and CR.
inline bool IsSpaceChar(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace base
