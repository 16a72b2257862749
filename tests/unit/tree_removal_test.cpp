// Removing an install folder through handles: what was opened is what goes,
// whatever is put at its path afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/folder_handle.h"
#include "base/fs.h"
#include "base/handles.h"
#include "install/tree_removal.h"
#include "support/files.h"
#include "support/scratch_folder.h"

namespace {

// A small installation: files, a read-only one, a nested folder.
std::wstring MakeTree(const std::wstring& name) {
  std::wstring dir = support::ScratchDir(name);
  base::CreateDirectoryTree(dir + L"\\game\\data");
  base::WriteWholeFile(dir + L"\\game\\game.exe", "MZ");
  base::WriteWholeFile(dir + L"\\game\\data\\a.bin", std::string(3000, 'a'));
  base::WriteWholeFile(dir + L"\\install.id", "id");
  base::WriteWholeFile(dir + L"\\ro.txt", "ro");
  SetFileAttributesW((dir + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  return dir;
}

}  // namespace

TEST(TreeRemoval, WhatIsPutAtThePathAfterTheOpenIsLeftAlone) {
  // Between the check and the removal the folder is moved away and something
  // else takes its path: a folder of the user's, or a link to one.
  for (bool asLink : {false, true}) {
    SCOPED_TRACE(asLink ? "a link" : "a folder");
    std::wstring dir = MakeTree(L"removal swap\\Vorn");
    std::wstring victim = support::ScratchDir(L"removal swap\\Photos");
    ASSERT_TRUE(base::WriteWholeFile(victim + L"\\holiday.jpg", "jpg"));
    base::UniqueFile folder;
    ASSERT_EQ(base::OpenFolderNoFollow(dir, &folder), 0u);
    std::wstring moved = support::ScratchDir(L"removal swap\\Vorn-moved");
    ASSERT_TRUE(RemoveDirectoryW(moved.c_str()));
    ASSERT_TRUE(MoveFileW(dir.c_str(), moved.c_str())) << GetLastError();
    if (asLink) {
      if (!CreateSymbolicLinkW(dir.c_str(), victim.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) || !base::IsReparsePoint(dir))
        GTEST_SKIP() << "no folder links on this system";
    } else {
      ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
      ASSERT_TRUE(base::WriteWholeFile(dir + L"\\notes.txt", "mine"));
    }
    unsigned long rc = RemoveOpenedTree(folder.Get());
    folder.Reset();
    // Windows removes the moved folder through the handles. Wine deletes an
    // entry by the name it was opened under, so there the moved folder stays
    // (and the removal reports it); either way nothing at the path is touched.
    if (rc == 0) EXPECT_FALSE(base::PathExists(moved));
    EXPECT_EQ(support::ReadFileBytes(victim + L"\\holiday.jpg"), "jpg");
    if (asLink) {
      EXPECT_TRUE(base::IsReparsePoint(dir));
      RemoveDirectoryW(dir.c_str());
    } else {
      EXPECT_EQ(support::ReadFileBytes(dir + L"\\notes.txt"), "mine");
    }
  }
}

TEST(TreeRemoval, TheLastNamedEntryStaysWhenTheRemovalStops) {
  std::wstring dir = MakeTree(L"removal last");
  std::wstring held = dir + L"\\game\\game.exe";
  {
    base::UniqueFile file(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    base::UniqueFile folder;
    ASSERT_EQ(base::OpenFolderNoFollow(dir, &folder), 0u);
    EXPECT_EQ(RemoveOpenedTree(folder.Get(), L"install.id"), static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    folder.Reset();
    EXPECT_EQ(support::ReadFileBytes(dir + L"\\install.id"), "id");
    EXPECT_TRUE(base::PathExists(held));
  }
  base::UniqueFile folder;
  ASSERT_EQ(base::OpenFolderNoFollow(dir, &folder), 0u);
  EXPECT_EQ(RemoveOpenedTree(folder.Get(), L"install.id"), 0u);
  folder.Reset();
  EXPECT_FALSE(base::PathExists(dir));
}

TEST(TreeRemoval, OpeningRefusesLinksAndFilesAndEntriesAreOpenedByOneName) {
  std::wstring dir = MakeTree(L"removal open");
  base::UniqueFile handle;
  EXPECT_EQ(base::OpenFolderNoFollow(dir + L"\\ro.txt", &handle), static_cast<unsigned long>(ERROR_DIRECTORY));
  ASSERT_EQ(base::OpenFolderNoFollow(dir, &handle), 0u);
  base::UniqueFile entry;
  EXPECT_EQ(base::OpenInFolder(handle.Get(), L"game\\game.exe", GENERIC_READ, base::EntryKind::kAny, &entry),
            static_cast<unsigned long>(ERROR_INVALID_NAME));
  EXPECT_NE(base::OpenInFolder(handle.Get(), L"game", GENERIC_READ, base::EntryKind::kFileOnly, &entry), 0u);
  EXPECT_EQ(base::OpenInFolder(handle.Get(), L"ro.txt", GENERIC_READ, base::EntryKind::kFileOnly, &entry), 0u);
  std::vector<std::wstring> names;
  ASSERT_EQ(base::ListFolder(handle.Get(), &names), 0u);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"game", L"install.id", L"ro.txt"}));
}
