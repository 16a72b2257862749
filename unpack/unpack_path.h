#pragma once
// Where an archive entry lands on disk, and the folders it needs.
#include <string>

// Full path of `name` below `targetDir` (a folder ending with a backslash), as
// the system resolves it. False when it does not resolve to a path inside the
// folder, so an entry can never be written elsewhere.
bool ResolveEntryPath(const std::wstring& targetDir, const std::wstring& name, std::wstring* fullPath);

// The form to hand to file APIs: long absolute paths get the extended-length
// prefix ("\\?\", "\\?\UNC\") so that they are neither refused nor cut.
std::wstring ForFileApi(const std::wstring& fullPath);
