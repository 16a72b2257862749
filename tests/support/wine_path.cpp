#include "support/wine_path.h"

#include <algorithm>

#include "base/text.h"

namespace support {

std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = L"Z:" + base::ToWide(unixPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

}  // namespace support
