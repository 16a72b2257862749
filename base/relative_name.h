#pragma once
// Relative file names below the install folder as the package manifest and
// the ledger of installed files write them: UTF-8, '/' between components.
// Free of windows.h.
#include <string>
#include <string_view>

namespace base {

// Why `name` cannot stand as such a name; empty when it can. Refused: an
// empty name, bytes that are not UTF-8, a control character, a backslash, a
// name that leaves the folder (leading '/', a drive, a ".." component), an
// empty or "." component, and a component that is not a plain Windows file
// name (IsPlainFileName: no ':' '*' '?' ..., no trailing dot or blank, no
// device name).
std::string RelativeNameProblem(std::string_view name);

// The key under which Windows sees two names as the same file: letters folded
// to upper case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic; the
// file system's own table folds more scripts, which packages do not use in
// practice). For valid UTF-8 only; other bytes are kept as they are.
std::string FoldedName(std::string_view name);

// FoldedName as code points, so that a pattern's '?' can take one character
// however many bytes it has. Bytes that are not UTF-8 stand for themselves.
std::u32string FoldedCharacters(std::string_view name);

// Strict UTF-8 to UTF-16: false on overlong forms, surrogates, code points
// above U+10FFFF and cut sequences.
bool DecodeUtf8(std::string_view text, std::wstring* wide);

}  // namespace base
