#pragma once
// Whole-file reads and writes, and folder listings, for checks.
#include <windows.h>

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

}  // namespace support
