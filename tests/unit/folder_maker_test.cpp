#include "unpack/folder_maker.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/remove_tree.h"
#include "support/scratch_folder.h"

namespace {

class FolderMakerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = support::ScratchDir(L"folders");
  }
  void TearDown() override { support::RemoveTree(root); }

  static bool IsFolder(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  static void MakeFile(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
  }

  std::wstring root;
};

}  // namespace

TEST_F(FolderMakerTest, CreatesEveryMissingFolderAndKnowsWhichItMade) {
  FolderMaker maker;
  CreateDirectoryW((root + L"\\old").c_str(), nullptr);
  EXPECT_TRUE(maker.Make(root + L"\\old\\a/b\\c\\"));
  EXPECT_TRUE(IsFolder(root + L"\\old\\a\\b\\c"));
  EXPECT_FALSE(maker.Created(root));
  EXPECT_FALSE(maker.Created(root + L"\\old"));
  EXPECT_TRUE(maker.Created(root + L"\\old\\a"));
  EXPECT_TRUE(maker.Created(root + L"\\old\\a\\b\\c\\"));
  // Another spelling of the same folder.
  EXPECT_TRUE(maker.Created(root + L"\\OLD/A\\B\\C"));
}

TEST_F(FolderMakerTest, AFileInTheWayStopsTheChain) {
  FolderMaker maker;
  MakeFile(root + L"\\blocker");
  EXPECT_FALSE(maker.Make(root + L"\\blocker\\inner"));
  EXPECT_FALSE(IsFolder(root + L"\\blocker\\inner"));
  EXPECT_FALSE(maker.Created(root + L"\\blocker"));
}

TEST_F(FolderMakerTest, AKnownFolderRemovedBehindItsBackIsNotAskedAgain) {
  // Folders are remembered for one unpacking job; this shows the cache is
  // really used (the product never removes folders during a job).
  FolderMaker maker;
  ASSERT_TRUE(maker.Make(root + L"\\x\\y"));
  RemoveDirectoryW((root + L"\\x\\y").c_str());
  EXPECT_TRUE(maker.Make(root + L"\\x\\y"));
  EXPECT_FALSE(IsFolder(root + L"\\x\\y"));
  // A sibling below a known parent is still created.
  EXPECT_TRUE(maker.Make(root + L"\\x\\z"));
  EXPECT_TRUE(IsFolder(root + L"\\x\\z"));
  EXPECT_TRUE(maker.Created(root + L"\\x\\z"));
}

TEST_F(FolderMakerTest, LongPathsAreCreatedWhole) {
  FolderMaker maker;
  std::wstring deep = root;
  for (int i = 0; i < 4; ++i) deep += L"\\" + std::wstring(80, static_cast<wchar_t>(L'a' + i));
  ASSERT_GT(deep.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_TRUE(maker.Make(deep));
  EXPECT_TRUE(IsFolder(L"\\\\?\\" + deep));
}
