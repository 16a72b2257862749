// The package version numbers and the package URL built from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "workflow/package_url.h"
#include "workflow/version_number.h"

TEST(ReadVersionNumber, LeadingWhiteSpaceSignAndDigits) {
  EXPECT_EQ(ReadVersionNumber("105"), 105);
  EXPECT_EQ(ReadVersionNumber("105\n"), 105);
  EXPECT_EQ(ReadVersionNumber("105\r\n"), 105);
  EXPECT_EQ(ReadVersionNumber(" \t\r\n\v\f42"), 42);
  EXPECT_EQ(ReadVersionNumber("+7"), 7);
  EXPECT_EQ(ReadVersionNumber("-7"), -7);
  EXPECT_EQ(ReadVersionNumber("0012"), 12);
  // Reading stops at the first character that is not a digit.
  EXPECT_EQ(ReadVersionNumber("12abc"), 12);
  EXPECT_EQ(ReadVersionNumber("1 2"), 1);
  EXPECT_EQ(ReadVersionNumber("3.9"), 3);
}

TEST(ReadVersionNumber, TextWithoutDigitsReadsAsZero) {
  EXPECT_EQ(ReadVersionNumber(""), 0);
  EXPECT_EQ(ReadVersionNumber("   "), 0);
  EXPECT_EQ(ReadVersionNumber("v105"), 0);
  EXPECT_EQ(ReadVersionNumber("-"), 0);
  EXPECT_EQ(ReadVersionNumber("+-1"), 0);
  EXPECT_EQ(ReadVersionNumber("- 1"), 0);
  // A zero byte ends the text as far as a version is concerned.
  EXPECT_EQ(ReadVersionNumber(std::string("\0" "5", 2)), 0);
}

TEST(ReadVersionNumber, ClampsToTheSigned32BitRange) {
  EXPECT_EQ(ReadVersionNumber("2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ReadVersionNumber("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ReadVersionNumber("2147483648"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ReadVersionNumber("-2147483649"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ReadVersionNumber(std::string(400, '9')), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ReadVersionNumber("-" + std::string(400, '9')), std::numeric_limits<int32_t>::min());
  // Wrapping would have turned 2^32 + 5 into 5 and skipped a needed update.
  EXPECT_EQ(ReadVersionNumber("4294967301"), std::numeric_limits<int32_t>::max());
}

namespace {

struct Formatted {
  bool ok;
  std::string url;
  std::string error;
};

Formatted Format(const std::string& pattern, int32_t version) {
  Formatted f;
  f.url = "stale";
  f.error = "stale";
  f.ok = FormatPackageUrl(pattern, version, f.url, f.error);
  return f;
}

}  // namespace

TEST(FormatPackageUrl, OneIntegerConversionReceivesTheVersion) {
  Formatted f = Format("http://127.0.0.1:8080/pkg/game-%d.zip", 105);
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.url, "http://127.0.0.1:8080/pkg/game-105.zip");
  EXPECT_EQ(f.error, "");

  EXPECT_EQ(Format("/p/%i", 7).url, "/p/7");
  EXPECT_EQ(Format("%d", -3).url, "-3");
  EXPECT_EQ(Format("/p?v=%d", std::numeric_limits<int32_t>::min()).url, "/p?v=-2147483648");
}

TEST(FormatPackageUrl, FlagsWidthAndPrecisionFormatLikePrintf) {
  EXPECT_EQ(Format("/v%05d.zip", 42).url, "/v00042.zip");
  EXPECT_EQ(Format("/v%-4d.zip", 42).url, "/v42  .zip");
  EXPECT_EQ(Format("/v%+d", 42).url, "/v+42");
  EXPECT_EQ(Format("/v% d", 42).url, "/v 42");
  EXPECT_EQ(Format("/v%.3i", 7).url, "/v007");
  EXPECT_EQ(Format("/v%6.4d", 7).url, "/v  0007");
}

TEST(FormatPackageUrl, DoublePercentIsALiteralPercentSign) {
  Formatted f = Format("/a%%20b/%d%%", 5);
  ASSERT_TRUE(f.ok) << f.error;
  EXPECT_EQ(f.url, "/a%20b/5%");
}

TEST(FormatPackageUrl, RefusesMissingConversion) {
  for (const char* pattern : {"/pkg/game.zip", "", "/only%%literal"}) {
    SCOPED_TRACE(pattern);
    Formatted f = Format(pattern, 1);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.url, "");
    EXPECT_EQ(f.error, std::string("package url has no integer conversion: ") + pattern);
  }
}

TEST(FormatPackageUrl, RefusesConversionsThatReadOrWriteMemory) {
  struct Case {
    const char* pattern;
    const char* conversion;
  } cases[] = {
      {"/pkg/%s.zip", "%s"},   {"/pkg/%n", "%n"},        {"/pkg/%d%n", "%n"},
      {"/pkg/%x", "%x"},       {"/pkg/%ld", "%l"},       {"/pkg/%lld", "%l"},
      {"/pkg/%hd", "%h"},      {"/pkg/%*d", "%*"},       {"/pkg/%1$d", "%1$"},
      {"/pkg/%#d", "%#"},      {"/pkg/%.*d", "%.*"},     {"/pkg/%", "%"},
      {"/pkg/%5", "%5"},       {"/pkg/%c", "%c"},        {"/pkg/%p", "%p"},
      {"/pkg/%I64d", "%I"},    {"/pkg/%D", "%D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Formatted f = Format(c.pattern, 1);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.url, "");
    EXPECT_EQ(f.error, std::string("package url has an unsupported conversion \"") + c.conversion +
                           "\": " + c.pattern);
  }
}

TEST(FormatPackageUrl, RefusesTwoConversions) {
  for (const char* pattern : {"/pkg/%d/%d.zip", "/%i%d", "%d%%%i"}) {
    SCOPED_TRACE(pattern);
    Formatted f = Format(pattern, 1);
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(f.url, "");
    EXPECT_EQ(f.error, std::string("package url has more than one conversion: ") + pattern);
  }
}

TEST(FormatPackageUrl, ResultMustFitTheUrlBufferWithItsZero) {
  // 1023 characters with the number fit; one more does not.
  std::string prefix(1020, 'a');
  Formatted fits = Format(prefix + "%d", 105);
  ASSERT_TRUE(fits.ok) << fits.error;
  EXPECT_EQ(fits.url.size(), 1023u);

  Formatted over = Format(prefix + "%d", 1050);
  EXPECT_FALSE(over.ok);
  EXPECT_EQ(over.url, "");
  EXPECT_EQ(over.error, "package url is longer than 1023 bytes: " + prefix + "%d");

  // Widths and precisions that alone exceed the buffer are refused, however large.
  EXPECT_FALSE(Format("/%1024d", 1).ok);
  EXPECT_FALSE(Format("/%.2000d", 1).ok);
  EXPECT_FALSE(Format("/%99999999999999999999d", 1).ok);
  EXPECT_EQ(Format("/%1022d", 1).url.size(), 1023u);
  EXPECT_FALSE(Format("/%1023d", 1).ok);
  // The literal "%%" counts once in the result, not twice.
  EXPECT_TRUE(Format(std::string(1018, 'b') + "%%%d", 105).ok);
}

TEST(FormatManifestUrl, OwnPatternElsePackageUrlPlusSuffix) {
  struct Row {
    const char* manifestPattern;
    const char* packagePattern;
    bool ok;
    const char* result;  // the URL, or the start of the error
  };
  const Row rows[] = {
      {"", "http://p/game-%d.zip", true, "http://p/game-106.zip.manifest"},
      {"http://m/files/%03d.txt", "http://p/game-%d.zip", true, "http://m/files/106.txt"},
      {"http://m/no-version.txt", "http://p/game-%d.zip", false, "pkgManifestUrl: "},
      {"http://m/%d-%d", "http://p/game-%d.zip", false, "pkgManifestUrl: "},
      {"http://m/%s", "http://p/game-%d.zip", false, "pkgManifestUrl: "},
      {"", "http://p/game.zip", false, ""},  // the package URL's own refusal
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.manifestPattern) + " | " + row.packagePattern);
    std::string url, error;
    ASSERT_EQ(FormatManifestUrl(row.manifestPattern, row.packagePattern, 106, url, error), row.ok) << error;
    if (row.ok) {
      EXPECT_EQ(url, row.result);
    } else {
      EXPECT_EQ(error.compare(0, strlen(row.result), row.result), 0) << error;
      EXPECT_FALSE(error.empty());
      if (!*row.result) {
        EXPECT_EQ(error.find("pkgManifestUrl"), std::string::npos) << error;
      }
    }
  }
}
