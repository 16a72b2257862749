#pragma once
// Small text helpers shared by every module; free of windows.h.
#include <string>
#include <vector>

namespace base {

// Appends the pieces of `text` between occurrences of `separator` to `out`.
// Empty pieces between two separators are kept; an empty last piece is not.
void Split(const std::string& text, const std::string& separator, std::vector<std::string>& out);

// Current time as whole seconds since 1970-01-01 UTC, in decimal.
std::string TimestampText();

// Path pieces on wide text; both '\' and '/' separate.
std::wstring FileNamePart(const std::wstring& path);
// Directory of a path without the trailing separator ("" when there is none).
std::wstring DirectoryPart(const std::wstring& path);
// File name without its last extension.
std::wstring Stem(const std::wstring& path);
// Joins a directory and a name with one backslash.
std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);

bool Contains(const std::wstring& text, const std::wstring& part);
bool StartsWith(const std::string& text, const std::string& prefix);

}  // namespace base
