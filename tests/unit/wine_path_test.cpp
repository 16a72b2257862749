// The tests reach the build tree and the game server's folders through Unix
// paths that CTest hands over; the Z: form must name the same file for wine.
#include "support/wine_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Wine's own mapping back to a Unix path (UTF-8 bytes); empty outside wine.
std::string WineUnixName(const std::wstring& path) {
  using UnixName = char*(__cdecl*)(const wchar_t*);
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName) return std::string();
  char* name = unixName(path.c_str());
  if (!name) return std::string();
  std::string out = name;
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}

}  // namespace

TEST(WinePath, DriveZWithBackslashes) {
  EXPECT_EQ(support::WinePath("/tmp/build dir/bin/vorn-launcher.exe"), L"Z:\\tmp\\build dir\\bin\\vorn-launcher.exe");
  EXPECT_EQ(support::WinePath(""), L"Z:");
}

TEST(WinePath, NonAsciiNamesAreDecodedFromUtf8) {
  // "/home/游戏/ä.exe": each character once, not each of its bytes.
  const std::string unixPath = "/home/\xE6\xB8\xB8\xE6\x88\x8F/\xC3\xA4.exe";
  EXPECT_EQ(support::WinePath(unixPath), L"Z:\\home\\游戏\\ä.exe");
}

TEST(WinePath, WineMapsTheNameBackToTheSameUnixPath) {
  const std::string unixPath = "/tmp/vorn-\xE6\xB8\xB8\xE6\x88\x8F-\xC3\xA4/file.txt";
  std::string back = WineUnixName(support::WinePath(unixPath));
  if (back.empty()) GTEST_SKIP() << "not running under wine";
  EXPECT_EQ(back, unixPath);
}
