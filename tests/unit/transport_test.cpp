#include <gtest/gtest.h>

#include "net/transport.h"
#include "net/transport_errors.h"

namespace {

HttpUrl Url(const std::string& text) {
  HttpUrl u;
  EXPECT_TRUE(ParseHttpUrl(text, u)) << text;
  return u;
}

}  // namespace

TEST(ResolveRedirect, AbsoluteRelativeAndSchemeRelativeLocations) {
  HttpUrl from = Url("https://cdn.example:8443/pkg/v2/game.zip?x=1");
  HttpUrl to;
  bool downgrade = true;

  ASSERT_TRUE(ResolveRedirect(from, "https://mirror.example/a/b.zip#f", to, downgrade));
  EXPECT_FALSE(downgrade);
  EXPECT_TRUE(to.secure);
  EXPECT_EQ(to.host, "mirror.example");
  EXPECT_EQ(to.port, 443);
  EXPECT_EQ(to.path, "/a/b.zip");

  ASSERT_TRUE(ResolveRedirect(from, "/other/c.zip?y=2", to, downgrade));
  EXPECT_TRUE(to.secure);
  EXPECT_EQ(to.host, "cdn.example");
  EXPECT_EQ(to.port, 8443);
  EXPECT_EQ(to.path, "/other/c.zip?y=2");

  ASSERT_TRUE(ResolveRedirect(from, "d.zip", to, downgrade));
  EXPECT_EQ(to.host, "cdn.example");
  EXPECT_EQ(to.path, "/pkg/v2/d.zip");  // beside the current file, its query left out

  ASSERT_TRUE(ResolveRedirect(from, "//edge.example:9000/e.zip", to, downgrade));
  EXPECT_TRUE(to.secure);  // keeps the scheme of the request
  EXPECT_EQ(to.host, "edge.example");
  EXPECT_EQ(to.port, 9000);

  ASSERT_TRUE(ResolveRedirect(from, "HTTPS://upper.example/f", to, downgrade));
  EXPECT_TRUE(to.secure);
  EXPECT_EQ(to.host, "upper.example");
}

TEST(ResolveRedirect, HttpsToHttpIsRefusedHttpToHttpsAllowed) {
  HttpUrl to;
  to.host = "unchanged";
  bool downgrade = false;
  EXPECT_FALSE(ResolveRedirect(Url("https://a.example/x"), "http://a.example/x", to, downgrade));
  EXPECT_TRUE(downgrade);
  EXPECT_EQ(to.host, "unchanged");
  EXPECT_FALSE(ResolveRedirect(Url("https://a.example/x"), "Http://b.example/x", to, downgrade));
  EXPECT_TRUE(downgrade);

  ASSERT_TRUE(ResolveRedirect(Url("http://a.example/x"), "https://a.example/x", to, downgrade));
  EXPECT_FALSE(downgrade);
  EXPECT_TRUE(to.secure);
  ASSERT_TRUE(ResolveRedirect(Url("http://a.example:81/x"), "/y", to, downgrade));
  EXPECT_FALSE(to.secure);
  EXPECT_EQ(to.port, 81);
}

TEST(ResolveRedirect, UnusableLocationsAreRefused) {
  HttpUrl from = Url("https://a.example/x");
  HttpUrl to;
  bool downgrade = true;
  for (const char* location : {"", "ftp://a.example/x", "javascript:alert(1)", "/a b",
                               "/a\r\nSet-Cookie: x=1", "https:///nohost", "https://h:99999/"}) {
    EXPECT_FALSE(ResolveRedirect(from, location, to, downgrade)) << location;
    EXPECT_FALSE(downgrade) << location;
  }
}

TEST(RequestHeaders, OnlyTokenNamesAndSingleLineValuesGoOut) {
  struct Row {
    const char* name;
    std::string value;
    bool safe;
  };
  const Row rows[] = {
      {"Range", "bytes=5-", true},
      {"If-Range", "\"etag with spaces\"", true},
      {"If-Range", "W/\"x\"\r\nX-Injected: 1", false},  // an echoed validator adds no header
      {"If-Range", "a\nb", false},
      {"If-Range", std::string("a\0b", 3), false},
      {"", "x", false},
      {"Bad Name", "x", false},
      {"Bad:Name", "x", false},
      {"N\xC3\xA4me", "x", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(HeadersAreSafe({{row.name, row.value}}), row.safe) << row.name << ": " << row.value;
    // One bad header spoils the whole request.
    EXPECT_EQ(HeadersAreSafe({{"Range", "bytes=0-"}, {row.name, row.value}}), row.safe);
  }
}

TEST(ContentLength, DigitsOnlyAndBounded) {
  struct Row {
    const char* text;
    bool ok;
    uint64_t value;
  };
  const Row rows[] = {{"0", true, 0},          {"600000", true, 600000},
                      {"999999999999999999", true, 999999999999999999ull},
                      {"1000000000000000000", false, 0},  // 19 digits could overflow
                      {"", false, 0},          {"-1", false, 0},
                      {" 5", false, 0},        {"5 ", false, 0},
                      {"0x10", false, 0},      {"1,2", false, 0}};
  for (const Row& row : rows) {
    uint64_t value = 7;
    EXPECT_EQ(ParseContentLength(row.text, value), row.ok) << row.text;
    if (row.ok) {
      EXPECT_EQ(value, row.value) << row.text;
    }
  }
  TransportResponse r;
  r.headers = {{"content-length", "12"}, {"Content-Length", "13"}};
  EXPECT_EQ(r.Header("CONTENT-LENGTH"), "12");  // the first, whatever its case
  EXPECT_EQ(r.Header("ETag"), "");
}

TEST(WinHttpErrors, CertificateFailuresNameTheirReason) {
  std::string detail;
  // Windows: 12175 with the flags of the secure-failure notification.
  EXPECT_EQ(ClassifyWinHttpError(12175, 0x08, true, detail), TransportFailure::kTlsCertificate);
  EXPECT_EQ(detail, "issuer not trusted");
  EXPECT_EQ(ClassifyWinHttpError(12175, 0x10 | 0x20, false, detail),
            TransportFailure::kTlsCertificate);
  EXPECT_EQ(detail, "certificate names another host and certificate expired or not yet valid");
  EXPECT_EQ(ClassifyWinHttpError(12175, 0x80000000ul, false, detail),
            TransportFailure::kTlsHandshake);
  EXPECT_EQ(ClassifyWinHttpError(12045, 0, false, detail), TransportFailure::kTlsCertificate);
  EXPECT_EQ(detail, "issuer not trusted");
  EXPECT_EQ(ClassifyWinHttpError(12037, 0, false, detail), TransportFailure::kTlsCertificate);
  EXPECT_EQ(detail, "certificate expired or not yet valid");

  TransportResult r;
  r.failure = ClassifyWinHttpError(12175, 0x10, false, r.detail);
  r.systemCode = 12175;
  EXPECT_EQ(TlsFailureText(r, "https://h/p"),
            "tls certificate rejected: certificate names another host, url: https://h/p");
}

TEST(WinHttpErrors, ChannelErrorNamesBothCausesOtherFailuresKeepTheUsualTexts) {
  TransportResult r;
  r.failure = ClassifyWinHttpError(12157, 0, false, r.detail);
  r.systemCode = 12157;
  EXPECT_EQ(r.failure, TransportFailure::kTlsHandshake);
  EXPECT_EQ(TlsFailureText(r, "https://h/p"),
            "tls handshake failed or certificate rejected (12157), url: https://h/p");

  std::string detail;
  EXPECT_EQ(ClassifyWinHttpError(12029, 0, false, detail), TransportFailure::kConnection);
  EXPECT_EQ(ClassifyWinHttpError(12007, 0, false, detail), TransportFailure::kConnection);
  EXPECT_EQ(ClassifyWinHttpError(12002, 0, false, detail), TransportFailure::kConnection);
  EXPECT_EQ(ClassifyWinHttpError(12002, 0, true, detail), TransportFailure::kBroken);
  EXPECT_EQ(ClassifyWinHttpError(12030, 0, true, detail), TransportFailure::kBroken);
  EXPECT_EQ(ClassifyWinHttpError(12017, 0, true, detail), TransportFailure::kStopped);
  r.failure = TransportFailure::kBroken;
  EXPECT_EQ(TlsFailureText(r, "https://h/p"), "");
  r.failure = TransportFailure::kConnection;
  EXPECT_EQ(TlsFailureText(r, "https://h/p"), "");
}
