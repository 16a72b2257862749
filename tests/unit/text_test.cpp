#include <gtest/gtest.h>

#include <cctype>

#include "base/strings.h"
#include "base/text.h"

TEST(Split, KeepsInnerEmptyPiecesButNotATrailingOne) {
  std::vector<std::string> out;
  base::Split("a,,b,", ",", out);
  EXPECT_EQ(out, (std::vector<std::string>{"a", "", "b"}));
  out.clear();
  base::Split("abc", ",", out);
  EXPECT_EQ(out, (std::vector<std::string>{"abc"}));
  out.clear();
  base::Split("", ",", out);
  EXPECT_TRUE(out.empty());
  out.clear();
  base::Split(",a", ",", out);
  EXPECT_EQ(out, (std::vector<std::string>{"", "a"}));
  // Appends rather than replaces, and handles separators longer than one byte.
  base::Split("x&&y", "&&", out);
  EXPECT_EQ(out, (std::vector<std::string>{"", "a", "x", "y"}));
}

TEST(TimestampText, IsTenDecimalDigitsThisCentury) {
  std::string t = base::TimestampText();
  ASSERT_EQ(t.size(), 10u);
  for (char c : t) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << t;
  EXPECT_GT(std::stoll(t), 1700000000LL);
}

TEST(Conversions, RoundTripUtf8IncludingChinese) {
  std::wstring wide = L"正在检查版本资源，请稍后... ok";
  std::string narrow = base::ToNarrow(wide, base::kCodePageUtf8);
  EXPECT_EQ(narrow, "正在检查版本资源，请稍后... ok");
  EXPECT_EQ(base::ToWide(narrow, base::kCodePageUtf8), wide);
}

TEST(Conversions, TextsLongerThanTheScratchBufferConvertWhole) {
  std::wstring wide(5000, L'界');
  std::string narrow = base::ToNarrow(wide);
  EXPECT_EQ(narrow.size(), 15000u);
  EXPECT_EQ(base::ToWide(narrow), wide);
  std::wstring ascii(5000, L'a');
  EXPECT_EQ(base::ToNarrow(ascii).size(), 5000u);
}

TEST(Conversions, StopAtTheFirstZero) {
  std::string withZero("ab\0cd", 5);
  EXPECT_EQ(base::ToWide(withZero), L"ab");
  EXPECT_EQ(base::ToWide(""), L"");
}

TEST(Paths, PiecesOfAPath) {
  EXPECT_EQ(base::FileNamePart(L"C:\\a\\b/c.exe"), L"c.exe");
  EXPECT_EQ(base::DirectoryPart(L"C:\\a\\b\\c.exe"), L"C:\\a\\b");
  EXPECT_EQ(base::DirectoryPart(L"c.exe"), L"");
  EXPECT_EQ(base::Stem(L"D:\\dl\\vorn-a-b.run.exe"), L"vorn-a-b.run");
  EXPECT_EQ(base::Stem(L"D:\\dl.x\\noext"), L"noext");
  EXPECT_EQ(base::JoinPath(L"C:\\a", L"b"), L"C:\\a\\b");
  EXPECT_EQ(base::JoinPath(L"C:\\a\\", L"b"), L"C:\\a\\b");
}
