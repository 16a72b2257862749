#pragma once
// File-system helpers on wide paths.
#include <string>

namespace base {

// True for an existing file or directory; a trailing separator is allowed.
bool PathExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// True for an existing junction, symbolic link or other reparse point.
bool IsReparsePoint(const std::wstring& path);

// Creates `path` and every missing parent. Returns 0 when the directory exists
// afterwards, else the Win32 error; `created` tells whether the last component
// was made by this call.
unsigned long CreateDirectoryTree(const std::wstring& path, bool* created = nullptr);

// Writes `bytes` to `path`, replacing it. False when the file cannot be written.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// Reads a whole file; false when it cannot be opened.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

}  // namespace base
