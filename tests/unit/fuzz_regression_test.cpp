// Inputs that fuzzing of the parsers turned up, kept so that the faults stay
// fixed. Each also sits in the fuzz target's seed corpus (tests/fuzz/corpus).
#include <gtest/gtest.h>

#include <string>

#include "workflow/package_url.h"

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
