#pragma once
// Deletes what a test made: a file, or a folder with everything in it
// (read-only files and paths beyond MAX_PATH too).
#include <string>

namespace support {

// True when nothing is left at `path`, also when nothing was there.
bool RemoveTree(const std::wstring& path);

}  // namespace support
