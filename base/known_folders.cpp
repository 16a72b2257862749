#include "base/known_folders.h"

#include <windows.h>
#include <shlobj.h>

namespace base {

bool AppDataFolder(std::wstring& folder) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, buffer))) return false;
  folder = buffer;
  return !folder.empty();
}

}  // namespace base
