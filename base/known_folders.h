#pragma once
#include <string>

namespace base {

// The user's roaming application-data folder, without a trailing separator;
// false when the system cannot name it.
bool AppDataFolder(std::wstring& folder);

}  // namespace base
