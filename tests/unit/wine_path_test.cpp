// The tests reach the build tree and the game server's folders through Unix
// paths that CTest hands over; the Z: form must name the same file for wine.
#include "support/wine_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using UnixName = char*(__cdecl*)(const wchar_t*);

// Wine's own mapping of a path back to Unix (UTF-8 bytes); null outside wine.
UnixName WineUnixName() {
  return reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

}  // namespace

TEST(WinePath, DriveZWithBackslashes) {
  EXPECT_EQ(support::WinePath("/tmp/build dir/bin/vorn-launcher.exe"),
            L"Z:\\tmp\\build dir\\bin\\vorn-launcher.exe");
  EXPECT_EQ(support::WinePath(""), L"Z:");
}

TEST(WinePath, NonAsciiNamesAreDecodedFromUtf8) {
  // "/home/游戏/ä.exe": each character once, not each of its bytes.
  const std::string unixPath = "/home/\xE6\xB8\xB8\xE6\x88\x8F/\xC3\xA4.exe";
  EXPECT_EQ(support::WinePath(unixPath), L"Z:\\home\\游戏\\ä.exe");
}

TEST(WinePath, WineMapsTheNameBackToTheSameUnixPath) {
  UnixName unixName = WineUnixName();
  if (!unixName) GTEST_SKIP() << "not running under wine";
  // A folder that exists, so that wine resolves the whole path.
  const std::string unixPath =
      "/tmp/vorn-\xE6\xB8\xB8\xE6\x88\x8F-\xC3\xA4-" + std::to_string(GetCurrentProcessId());
  const std::wstring path = support::WinePath(unixPath);
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
  char* back = unixName(path.c_str());
  RemoveDirectoryW(path.c_str());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::string(back), unixPath);
  HeapFree(GetProcessHeap(), 0, back);
}
