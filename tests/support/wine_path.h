#pragma once
// Wine shows the Linux file system as drive Z:.
#include <string>

namespace support {

// "Z:" + the UTF-8 path decoded, with backslashes: "/tmp/a" -> "Z:\tmp\a".
std::wstring WinePath(const std::string& unixPath);

}  // namespace support
