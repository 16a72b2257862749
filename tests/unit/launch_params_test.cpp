#include "workflow/launch_params.h"

#include <gtest/gtest.h>

using namespace launch;

TEST(GameParams, ExampleWithUserInfoShellKeyAndQos) {
  std::wstring tail = L"&qosStartAt=1700000000&qosSeq=0123456789abcdef0123456789abcdef";
  EXPECT_EQ(GameParams(L"uid=1", L"D:\\game\\wd.exe", L"1700000005", tail),
            L"uid:1 shell:D:\\game\\wd.exe wdver:2 cmdKey:1700000005 qosStartAt:1700000000 "
            L"qosSeq:0123456789abcdef0123456789abcdef");
}

TEST(GameParams, EverySeparatorIsFoldedWithoutQuoting) {
  // A second "=" inside a value, an "&" in the path and a blank in the path.
  std::wstring params = GameParams(L"uid=1&skey=a=b&name=x", L"C:\\My Games\\a&b=c\\wd.exe", L"K",
                                   L"&qosStartAt=0&qosSeq=");
  EXPECT_EQ(params, L"uid:1 skey:a:b name:x shell:C:\\My Games\\a b:c\\wd.exe wdver:2 cmdKey:K qosStartAt:0 qosSeq:");
  EXPECT_EQ(params.find(L'"'), std::wstring::npos);
}

TEST(GameParams, QosTailBeforeAnyReport) {
  EXPECT_EQ(QosTail(0, ""), "&qosStartAt=0&qosSeq=");
  EXPECT_EQ(QosTail(1700000000, "ab12"), "&qosStartAt=1700000000&qosSeq=ab12");
  EXPECT_EQ(QosTail(-5, "x"), "&qosStartAt=-5&qosSeq=x");
}

TEST(GameParams, QosTailIsCutToItsBuffer) {
  std::string tail = QosTail(1, std::string(5000, 'q'));
  EXPECT_EQ(tail.size(), 1023u);
  EXPECT_EQ(tail.compare(0, 24, "&qosStartAt=1&qosSeq=qqq"), 0);
}

TEST(ShellParams, WithUserInfoHideCmdAndKeyWithoutBlank) {
  EXPECT_EQ(ShellParams(L"360", true, L"1700000005"), L"360 hide cmd1700000005");
}

TEST(ShellParams, WithoutUserInfoOnlyThePlatform) {
  EXPECT_EQ(ShellParams(L"360", false, L""), L"360");
  EXPECT_EQ(ShellParams(L"pc", false, L"ignored"), L"pc");
}
