#include <gtest/gtest.h>

#include "net/http_url.h"

TEST(ParseHttpUrl, PortQueryAndFragment) {
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl("http://cfg.example:8081/pkg/a.ini?v=17&x=y#part", u));
  EXPECT_EQ(u.host, "cfg.example");
  EXPECT_EQ(u.port, 8081);
  EXPECT_EQ(u.path, "/pkg/a.ini?v=17&x=y");
}

TEST(ParseHttpUrl, HttpsIsTlsOnPort443UnlessNamed) {
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl("https://secure.example/file.zip", u));
  EXPECT_TRUE(u.secure);
  EXPECT_EQ(u.host, "secure.example");
  EXPECT_EQ(u.port, 443);
  EXPECT_EQ(u.path, "/file.zip");
  ASSERT_TRUE(ParseHttpUrl("https://secure.example:8443", u));
  EXPECT_TRUE(u.secure);
  EXPECT_EQ(u.port, 8443);
  // Plain HTTP for "http" and for a URL without a scheme.
  ASSERT_TRUE(ParseHttpUrl("http://plain.example/a", u));
  EXPECT_FALSE(u.secure);
  EXPECT_EQ(u.port, 80);
  ASSERT_TRUE(ParseHttpUrl("//plain.example/a", u));
  EXPECT_FALSE(u.secure);
  EXPECT_EQ(u.port, 80);
}

TEST(ParseHttpUrl, MissingPathBecomesSlash) {
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl("http://host.example", u));
  EXPECT_EQ(u.host, "host.example");
  EXPECT_EQ(u.path, "/");
  ASSERT_TRUE(ParseHttpUrl("http://host.example:99#only-fragment", u));
  EXPECT_EQ(u.port, 99);
  EXPECT_EQ(u.path, "/");
}

TEST(ParseHttpUrl, PathOnlyHasNoHost) {
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl("/pkg/vorn_install_cfg.ini?v=1", u));
  EXPECT_EQ(u.host, "");
  EXPECT_EQ(u.port, 80);
  EXPECT_EQ(u.path, "/pkg/vorn_install_cfg.ini?v=1");
}

TEST(ParseHttpUrl, QueryWithoutPathKeepsTheQuery) {
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl("http://h?data=KZ={G:1;S:;}", u));
  EXPECT_EQ(u.host, "h");
  EXPECT_EQ(u.path, "?data=KZ={G:1;S:;}");
}

TEST(ParseHttpUrl, LineBreakInTheFragmentDoesNotMatch) {
  HttpUrl u;
  EXPECT_FALSE(ParseHttpUrl("http://h/p#a\nb", u));
}

TEST(ParseHttpUrl, ReportSizedUrlParses) {
  // Statistics reports are up to 4095 characters long.
  std::string url = "http://stats.example:8000/qos?data=KZ={" + std::string(4000, 'x') + "}";
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl(url, u));
  EXPECT_EQ(u.port, 8000);
  EXPECT_EQ(u.path.size(), url.size() - std::string("http://stats.example:8000").size());
}
