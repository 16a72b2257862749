// The user information that a web page or the token server hands over, and
// what of it may reach the game client's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/launch_name.h"
#include "workflow/launch_params.h"
#include "workflow/user_info_rules.h"

using launch::UserInfoProblem;

namespace {

std::vector<std::wstring> Words(const std::wstring& params) {
  std::vector<std::wstring> words;
  size_t start = 0;
  while (start <= params.size()) {
    size_t end = params.find(L' ', start);
    if (end == std::wstring::npos) end = params.size();
    if (end > start) words.push_back(params.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace

TEST(UserInfoFromAWebPage, ASecondShellWordIsRefused) {
  // What a page opens: <installName>://x?uid=9 shell:C:\evil.exe&skey=s
  std::wstring info = WebLaunchUserInfo(L"vorn://x?uid=9 shell:C:\\evil.exe&skey=s/");
  EXPECT_EQ(info, L"uid=9 shell:C:\\evil.exe&skey=s");
  EXPECT_EQ(UserInfoProblem(info), "blank in piece 1");
}

TEST(UserInfoFromAWebPage, TheLaunchersOwnWordsCannotBeForged) {
  // As a pair, as a "key:value" that folds the same way, as a bare word, in
  // any letter case; the micro-client's words too.
  for (const wchar_t* info : {L"uid=1&cmdKey=1", L"uid=1&qosSeq:x", L"shell=C:\\evil.exe",
                              L"uid=1&WDVER=3", L"uid=1&QosStartAt=0", L"uid=1&hide", L"cmd=1&uid=1",
                              L"uid=1&Shell:x=y"}) {
    SCOPED_TRACE(std::string(info, info + wcslen(info)));
    EXPECT_EQ(UserInfoProblem(info).compare(0, 14, "reserved word "), 0) << UserInfoProblem(info);
  }
  EXPECT_EQ(UserInfoProblem(L"uid=1&cmdKey=1"), "reserved word cmdKey in piece 2");
}

TEST(UserInfoFromAWebPage, QuotesBlanksAndControlsCannotSplitOrJoinWords) {
  struct Case {
    std::wstring info;
    const char* problem;
  } cases[] = {
      {L"uid=1&skey=a\"b", "quote in piece 2"},
      {L"uid=1\t2", "control character in piece 1"},
      {L"uid=1&skey=a\nb", "control character in piece 2"},
      {std::wstring(L"uid=1") + L'\0' + L"x", "control character in piece 1"},
      {L"uid=1&skey=a\x0085", "control character in piece 2"},
      {L"uid=1&skey=a\x3000" L"b", "blank in piece 2"},
      {L"uid=1&skey=a\x00A0", "blank in piece 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    EXPECT_EQ(UserInfoProblem(c.info), c.problem);
  }
}

TEST(UserInfoFromAWebPage, WordsThatOnlyContainALauncherWordAreFine) {
  // Only a piece's key counts: a value may say anything.
  for (const wchar_t* info : {L"uid=shell", L"skey=x:shell:C:\\a", L"shellx=1", L"mycmd=1", L"cmdKeys=2",
                              L""}) {
    SCOPED_TRACE(std::string(info, info + wcslen(info)));
    EXPECT_EQ(UserInfoProblem(info), "");
  }
}

TEST(UserInfoFromTheTokenServer, RealTokensKeepWorking) {
  // Letters, digits and the URL-safe punctuation, "=" padding, escapes, and
  // non-ASCII text in a value.
  for (const wchar_t* info :
       {L"uid=123456&skey=AbC-_.~:/+=%2F==&name=%E5%90%8D", L"uid=9&skey=eyJhbGciOi.J9.x-Y_z",
        L"uid=1&nick=\x73A9\x5BB6", L"uid=1&&skey=2&"}) {
    SCOPED_TRACE(std::string(info, info + wcslen(info)));
    EXPECT_EQ(UserInfoProblem(info), "");
  }
}

TEST(UserInfoOnTheCommandLine, AcceptedInfoLeavesTheLaunchersWordsAlone) {
  const std::wstring info = L"uid=9&skey=a:b=c&zone=2";
  ASSERT_EQ(UserInfoProblem(info), "");
  std::vector<std::wstring> words =
      Words(launch::GameParams(info, L"D:\\g\\wd.exe", L"K", L"&qosStartAt=5&qosSeq=Q"));
  std::vector<std::wstring> expected = {L"uid:9",    L"skey:a:b:c", L"zone:2",       L"shell:D:\\g\\wd.exe",
                                        L"wdver:2", L"cmdKey:K",   L"qosStartAt:5", L"qosSeq:Q"};
  EXPECT_EQ(words, expected);
}
