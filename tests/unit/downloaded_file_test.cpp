// A finished micro-client download taking the installed file's place.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/fs.h"
#include "base/handles.h"
#include "workflow/downloaded_file.h"

namespace {

class DownloadedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir = std::wstring(temp) + L"vorn-downloaded-file\\";
    base::CreateDirectoryTree(dir);
    installed = dir + L"shell.exe";
    SetFileAttributesW(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(installed.c_str());
    ASSERT_TRUE(base::WriteWholeFile(installed, "old shell"));
    ASSERT_TRUE(base::WriteWholeFile(DownloadingPath(installed), "new shell"));
  }
  void TearDown() override {
    SetFileAttributesW(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(installed.c_str());
    DeleteFileW(DownloadingPath(installed).c_str());
  }
  std::string Read(const std::wstring& path) {
    std::string bytes;
    return base::ReadWholeFile(path, bytes) ? bytes : "(missing)";
  }
  bool Place(const std::string& sha256) {
    error.clear();
    code = 0;
    return PlaceDownloadedFile(DownloadingPath(installed), installed, sha256, "http://x/shell.exe", &error, &code);
  }

  std::wstring dir, installed;
  std::string error;
  uint32_t code = 0;
};

// sha256sum of "new shell"
const char kNewShellSha256[] = "2d5acb650c5e035ce9181df9548e5dbd7950f8bc8270292b8cc884df0738f458";

}  // namespace

TEST_F(DownloadedFile, ReplacesTheInstalledFileWhenComplete) {
  EXPECT_EQ(DownloadingPath(L"C:\\a\\wd.exe"), L"C:\\a\\wd.exe.downloading");
  ASSERT_TRUE(Place("")) << error;
  EXPECT_EQ(Read(installed), "new shell");
  EXPECT_EQ(Read(DownloadingPath(installed)), "(missing)");
}

TEST_F(DownloadedFile, TheChecksumDecides) {
  const std::string other(64, '0');
  ASSERT_FALSE(Place(other));
  EXPECT_EQ(error, "checksum mismatch, expected " + other + ", got " + kNewShellSha256 + ", url: http://x/shell.exe");
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(Read(installed), "old shell");
  EXPECT_EQ(Read(DownloadingPath(installed)), "(missing)");

  ASSERT_TRUE(base::WriteWholeFile(DownloadingPath(installed), "new shell"));
  ASSERT_TRUE(Place(kNewShellSha256)) << error;
  EXPECT_EQ(Read(installed), "new shell");
}

TEST_F(DownloadedFile, AFileHeldOpenIsInUse) {
  {
    // Held without delete sharing, as a running program holds its image.
    base::UniqueFile held(CreateFileW(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    ASSERT_TRUE(held);
    ASSERT_FALSE(Place(""));
    EXPECT_EQ(code, static_cast<uint32_t>(ERROR_SHARING_VIOLATION)) << error;
  }
  EXPECT_EQ(Read(installed), "old shell");
  EXPECT_EQ(Read(DownloadingPath(installed)), "(missing)");
}
