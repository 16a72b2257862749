#pragma once
// Folders the tests work in.
#include <string>

namespace support {

// GetTempPathW, with its trailing backslash.
std::wstring TempFolder();
// A fresh folder, emptied of what earlier runs left, under the temporary folder ("a\\b" names a nested one),
// without trailing backslash; a test failure when it cannot be made.
std::wstring ScratchDir(const std::wstring& name);
// The roaming application-data folder, without trailing backslash.
std::wstring RoamingAppData();

}  // namespace support
