#include "unpack/unpack_path.h"

#include <gtest/gtest.h>

TEST(UnpackPath, ShortPathsStayAsTheyAre) {
  EXPECT_EQ(ForFileApi(L"C:\\game\\a.txt"), L"C:\\game\\a.txt");
  std::wstring edge = L"C:\\" + std::wstring(243, 'a');  // 246 characters
  EXPECT_EQ(ForFileApi(edge), edge);
}

TEST(UnpackPath, LongPathsTakeTheExtendedPrefix) {
  std::wstring tail = std::wstring(150, 'a') + L"/" + std::wstring(150, 'b');
  EXPECT_EQ(ForFileApi(L"C:\\" + tail), L"\\\\?\\C:\\" + std::wstring(150, 'a') + L"\\" + std::wstring(150, 'b'));
  EXPECT_EQ(ForFileApi(L"\\\\server\\share\\" + tail),
            L"\\\\?\\UNC\\server\\share\\" + std::wstring(150, 'a') + L"\\" + std::wstring(150, 'b'));
  std::wstring already = L"\\\\?\\C:\\" + std::wstring(300, 'x');
  EXPECT_EQ(ForFileApi(already), already);
  std::wstring relative = std::wstring(300, 'r');
  EXPECT_EQ(ForFileApi(relative), relative);
}

TEST(UnpackPath, EntryPathsResolveInsideTheFolderOnly) {
  std::wstring full;
  ASSERT_TRUE(ResolveEntryPath(L"C:\\inst\\", L"a/b.txt", &full));
  EXPECT_EQ(full, L"C:\\inst\\a\\b.txt");
  ASSERT_TRUE(ResolveEntryPath(L"C:\\inst\\", L"a/./x/../b/", &full));
  EXPECT_EQ(full, L"C:\\inst\\a\\b\\");
  EXPECT_FALSE(ResolveEntryPath(L"C:\\inst\\", L"../b.txt", &full));
  EXPECT_FALSE(ResolveEntryPath(L"C:\\inst\\", L"a/../../b.txt", &full));
  EXPECT_FALSE(ResolveEntryPath(L"C:\\inst\\", L"a/..", &full));  // the folder itself
  // A sibling whose name merely begins like the folder is outside.
  EXPECT_FALSE(ResolveEntryPath(L"C:\\inst\\", L"../inst2/x", &full));
  // Letter case of the folder does not matter.
  EXPECT_TRUE(ResolveEntryPath(L"C:\\INST\\", L"x", &full));
}

TEST(UnpackPath, LongEntryPathsResolveWhole) {
  std::wstring name = std::wstring(120, 'a') + L"/" + std::wstring(120, 'b') + L"/../" + std::wstring(120, 'c');
  std::wstring full;
  ASSERT_TRUE(ResolveEntryPath(L"C:\\inst\\", name, &full));
  EXPECT_EQ(full, L"C:\\inst\\" + std::wstring(120, 'a') + L"\\" + std::wstring(120, 'c'));
}
