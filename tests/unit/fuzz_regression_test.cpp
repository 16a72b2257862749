// Inputs that fuzzing of the parsers turned up, kept so that the faults stay
// fixed. Each also sits in the fuzz target's seed corpus (tests/fuzz/corpus).
#include <gtest/gtest.h>

#include <string>

#include "net/http_url.h"
#include "workflow/package_url.h"
#include "workflow/query_pairs.h"

TEST(FuzzRegression, PackageUrlNumberLongerThanItsBufferIsRefusedNotCut) {
  // "%+.1023d" and "%.1023d" of a negative number print 1,024 characters: one
  // more than a URL may hold. They used to be cut to 1,023 and accepted, which
  // dropped the version's last digit from the URL.
  for (const char* pattern : {"%+.1023d", "%.1023d"}) {
    SCOPED_TRACE(pattern);
    std::string url = "stale", error;
    EXPECT_FALSE(FormatPackageUrl(pattern, pattern[1] == '+' ? 5 : -5, url, error));
    EXPECT_EQ(url, "");
    EXPECT_EQ(error, std::string("package url is longer than 1023 bytes: ") + pattern);
  }
  // One digit less fits exactly.
  std::string url, error;
  ASSERT_TRUE(FormatPackageUrl("%+.1022d", 5, url, error)) << error;
  EXPECT_EQ(url.size(), 1023u);
  EXPECT_EQ(url.back(), '5');
}

TEST(FuzzRegression, UrlPortAbove65535IsRefused) {
  // The socket layer keeps 16 bits of the port: ":65616" used to reach port 80.
  HttpUrl u;
  for (const char* url : {"http://h:65536/", "http://h:65616/", "http://h:99999999999999999999/x"}) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(ParseHttpUrl(url, u));
  }
  ASSERT_TRUE(ParseHttpUrl("http://h:65535/", u));
  EXPECT_EQ(u.port, 65535);
  ASSERT_TRUE(ParseHttpUrl("http://h:0000080/p", u));
  EXPECT_EQ(u.port, 80);
}

TEST(FuzzRegression, OverlongUrlIsRefusedInsteadOfOverflowingTheStack) {
  // The pattern matcher recursed once per character: a 6,000-character URL
  // from the configuration ended the launcher with a stack overflow.
  HttpUrl u;
  EXPECT_FALSE(ParseHttpUrl("http://h/" + std::string(100000, 'x'), u));
  const std::string longest = "http://h/" + std::string(4096 - 9, 'x');
  ASSERT_TRUE(ParseHttpUrl(longest, u));
  EXPECT_EQ(u.path.size(), 4096u - 8);
  EXPECT_FALSE(ParseHttpUrl(longest + "x", u));
}

TEST(FuzzRegression, QueryPairsAfterALongWordRunWithoutEquals) {
  // The pattern search restarted at every character of a word run that no
  // "=" follows, taking seconds on a few thousand characters; the search now
  // starts at the first run that ends in "=". The pairs found stay the same.
  const std::string run(20000, 'x');
  QueryPairs p = ParseQueryPairs(run + " uid=7=8&" + run + "&=" + run + "&skey=" + run + "\r\nz=1");
  EXPECT_EQ(p.Get("uid"), "7=8");
  EXPECT_EQ(p.Get("skey"), run);
  EXPECT_EQ(p.values.size(), 2u);
  EXPECT_TRUE(ParseQueryPairs(run).values.empty());
}
