// A program file is started only when it is the file it should be; these
// cases stop before anything starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/fs.h"
#include "base/handles.h"
#include "base/verified_start.h"
#include "support/scratch_folder.h"

TEST(VerifiedStart, AFileThatIsNotTheOriginalIsNotStarted) {
  std::wstring dir = support::ScratchDir(L"verified start");
  std::wstring original = dir + L"\\original.exe";
  ASSERT_TRUE(base::WriteWholeFile(original, std::string(100000, 'o')));
  struct Row {
    const char* what;
    std::string copy;  // empty: no such file
    std::string error;
  } rows[] = {
      {"other bytes, same size", std::string(99999, 'o') + "x", "it differs from the running program"},
      {"shorter", std::string(5, 'o'), "it differs from the running program"},
      {"missing", "", "cannot be held: "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::wstring copy = dir + L"\\copy.exe";
    DeleteFileW(copy.c_str());
    if (!row.copy.empty()) ASSERT_TRUE(base::WriteWholeFile(copy, row.copy));
    std::string error;
    EXPECT_FALSE(StartIfSameAs(copy, original, L"", SW_SHOW, &error));
    EXPECT_NE(error.find(row.error), std::string::npos) << error;
  }
}

TEST(VerifiedStart, AFileHeldByAnotherProgramIsNotCopiedOverNorStarted) {
  std::wstring dir = support::ScratchDir(L"verified copy");
  std::wstring original = dir + L"\\original.exe";
  std::wstring copy = dir + L"\\copy.exe";
  ASSERT_TRUE(base::WriteWholeFile(original, "ours"));
  ASSERT_TRUE(base::WriteWholeFile(copy, "planted"));
  base::UniqueFile holder(CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  std::string error;
  EXPECT_FALSE(CopyAndStart(original, copy, L"", SW_SHOW, &error));
  EXPECT_EQ(error.rfind("copy to ", 0), 0u) << error;
}

TEST(VerifiedStart, AProgramWithAnotherChecksumIsNotStarted) {
  std::wstring file = support::ScratchDir(L"verified hash") + L"\\shell.exe";
  ASSERT_TRUE(base::WriteWholeFile(file, "abc"));
  std::string error;
  const std::string wrong(64, '0');
  bool refused = false;
  EXPECT_FALSE(StartIfSha256(file, wrong, L"", false, SW_SHOW, &error, &refused));
  EXPECT_TRUE(refused);
  EXPECT_EQ(error, "checksum mismatch, expected " + wrong +
                       ", got ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // A missing file is no refusal: there is nothing to start.
  EXPECT_FALSE(StartIfSha256(file + L".absent", wrong, L"", false, SW_SHOW, &error, &refused));
  EXPECT_FALSE(refused);
}
