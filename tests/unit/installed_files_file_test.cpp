// "pkg.files" on disk: written whole through a temporary, read back or
// reported missing or damaged.
#include <gtest/gtest.h>

#include <windows.h>

#include "install/installed_files.h"
#include "support/files.h"
#include "support/scratch_folder.h"

TEST(InstalledFilesFile, WriteReplacesTheLedgerAndReadGivesItBack) {
  const std::wstring dir = support::ScratchDir(L"vorn-ledger");
  const std::wstring path = dir + L"\\pkg.files";
  InstalledFiles ledger, back;
  std::string error;
  EXPECT_FALSE(ReadInstalledFilesFile(path, &back, &error));
  EXPECT_EQ(error, "") << "a missing ledger is not an error";

  ledger.files = {{"a.txt", 3, {}}, {"sub/b.bin", 7, {}}};
  ASSERT_TRUE(WriteInstalledFilesFile(path, ledger, &error)) << error;
  ASSERT_TRUE(ReadInstalledFilesFile(path, &back, &error)) << error;
  EXPECT_EQ(back.files, ledger.files);

  // A second write replaces the first, also when the old one is read-only,
  // and leaves no temporary behind.
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  ledger.files.pop_back();
  ASSERT_TRUE(WriteInstalledFilesFile(path, ledger, &error)) << error;
  EXPECT_EQ(support::ReadFileBytes(path), FormatInstalledFiles(ledger));
  EXPECT_EQ(GetFileAttributesW((path + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

  // A damaged ledger reads as none, with the reason.
  ASSERT_TRUE(support::WriteFileBytes(path, FormatInstalledFiles(ledger) + "garbage"));
  back.files.clear();
  EXPECT_FALSE(ReadInstalledFilesFile(path, &back, &error));
  EXPECT_NE(error.find("ledger line 2: "), std::string::npos) << error;
  EXPECT_TRUE(back.files.empty());
}
