#pragma once
// Whole-file reads and writes, and folder listings, for checks.
#include <windows.h>

#include <map>
#include <set>
#include <string>

namespace support {

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Polls a file until it holds `text`; false on time-out.
bool WaitForFileContaining(const std::wstring& path, const std::string& text, DWORD timeoutMs = 15000);
// Names of the files and folders matching a FindFirstFileW pattern ("dir\\*.lnk").
std::set<std::wstring> FileNames(const std::wstring& pattern);
// Every file and folder below `dir`, by its path relative to `dir` (folders
// end with "\\" and map to ""), with each file's bytes and attributes: two
// equal snapshots mean a tree left byte for byte.
std::map<std::wstring, std::string> TreeSnapshot(const std::wstring& dir);

}  // namespace support
