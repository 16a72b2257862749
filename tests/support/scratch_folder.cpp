#include "support/scratch_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/text.h"
#include "support/remove_tree.h"

namespace support {

std::wstring TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  return temp;
}

std::wstring ScratchDir(const std::wstring& name) {
  std::wstring dir = TempFolder() + L"vorn-tests\\" + name;
  // A file a test left open stays; the folder is made all the same.
  RemoveTree(dir);
  EXPECT_EQ(base::CreateDirectoryTree(dir), 0u) << base::Utf8(dir);
  return dir;
}

std::wstring RoamingAppData() {
  wchar_t folder[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  return folder;
}

}  // namespace support
