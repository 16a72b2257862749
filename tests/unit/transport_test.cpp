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

TEST(ParseRawHeaders, SkipsTheStatusLineAndMalformedLines) {
  HeaderList h = ParseRawHeaders(
      "HTTP/1.1 206 Partial Content\r\nContent-Length:  12 \r\nbad line\r\n: empty name\r\n"
      "Content-Range: bytes 5-16/17\r\nX Space: no\r\nT\rdLocation: /elsewhere\r\n"
      "location: /next\r\n\r\n");
  ASSERT_EQ(h.size(), 3u);
  EXPECT_EQ(h[0], (std::pair<std::string, std::string>("Content-Length", "12")));
  TransportResponse r;
  r.headers = h;
  EXPECT_EQ(r.Header("content-length"), "12");
  EXPECT_EQ(r.Header("Content-Range"), "bytes 5-16/17");
  EXPECT_EQ(r.Header("LOCATION"), "/next");
  EXPECT_EQ(r.Header("ETag"), "");
  EXPECT_TRUE(ParseRawHeaders("").empty());
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
