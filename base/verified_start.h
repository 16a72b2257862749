#pragma once
// Starting a program file only when it is the file it should be. The file is
// opened so that nobody can write, rename or delete it, checked through that
// handle, and held so until the start has returned: what was checked is what
// runs.
#include <string>

// Starts `exePath` (StartProcess) only when its bytes equal those of
// `original`. False, with the reason in `error`, when it cannot be held
// against writers, differs, or does not start.
bool StartIfSameAs(const std::wstring& exePath, const std::wstring& original, const std::wstring& params,
                   int showMode, std::string* error);

// Copies `original` to `copyPath` (replacing it) and starts the copy only when
// the copy succeeded and the copy is byte for byte `original`.
bool CopyAndStart(const std::wstring& original, const std::wstring& copyPath, const std::wstring& params,
                  int showMode, std::string* error);

// Starts `exePath` only when its SHA-256, read through the held file right
// before the start, is `expectedSha256` (64 lower-case hex digits; when
// empty, the file is only held during the start). `refused` tells a file
// that is not the expected one (another checksum, unreadable, or held open
// by a writer) from one that is missing or does not start.
bool StartIfSha256(const std::wstring& exePath, const std::string& expectedSha256, const std::wstring& params,
                   bool elevate, int showMode, std::string* error, bool* refused);
