// Names from the install configuration that are pasted into paths.
#include <gtest/gtest.h>

#include <string>

#include "base/file_name_rules.h"

using base::IsPlainFileName;

TEST(PlainFileName, OrdinaryNamesPass) {
  for (const wchar_t* name : {L"wd.exe", L"Vorn Game", L"game.cfg", L"\x6E38\x620F.exe", L"a..b",
                              L".hidden", L"CONSOLE.exe", L"com10", L"lpt0", L"nul-x", L"x.con"}) {
    SCOPED_TRACE(std::string(name, name + wcslen(name)));
    EXPECT_TRUE(IsPlainFileName(name));
  }
}

TEST(PlainFileName, NamesThatLeaveTheFolderAreRefused) {
  for (const wchar_t* name : {L"..\\..\\Users\\Public\\x.exe", L"../x.exe", L"sub\\wd.exe", L"C:x.exe",
                              L"C:\\Windows\\x.exe", L"\\\\server\\share\\x", L".", L"..", L"", L"wd.exe:stream"}) {
    SCOPED_TRACE(std::string(name, name + wcslen(name)));
    EXPECT_FALSE(IsPlainFileName(name));
  }
}

TEST(PlainFileName, NamesWindowsWouldOpenAsSomethingElseAreRefused) {
  // Trailing dots and blanks are dropped by the system; device names open
  // the device under any extension and letter case.
  for (const wchar_t* name : {L"wd.exe.", L"wd.exe ", L"CON", L"nul.txt", L"Com1.exe", L"LPT9",
                              L"aux .cfg", L"conout$", L"COM\x00B9"}) {
    SCOPED_TRACE(std::string(name, name + wcslen(name)));
    EXPECT_FALSE(IsPlainFileName(name));
  }
}

TEST(PlainFileName, ControlAndWildcardCharactersAreRefused) {
  for (wchar_t c : {L'\x01', L'\t', L'\n', L'\x1F', L'\x7F', L'*', L'?', L'"', L'<', L'>', L'|'}) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_FALSE(IsPlainFileName(std::wstring(L"wd") + c + L".exe"));
  }
  EXPECT_FALSE(IsPlainFileName(std::wstring(L"wd\0.exe", 7)));
}
