// URLs come from the install configuration and the server's replies. A URL
// that ParseHttpUrl accepts must name a port the client can really connect to
// (0..65535, never a value that wraps into another port), and its parts must
// be the ones a full match of the URL pattern gives.
//
// The request path starts with "/" for every URL whose host is followed by
// "/" or by nothing; the pattern hands over verbatim whatever else follows the
// host or port ("http://h?q" gives "?q", "http://h:80x" gives "x"), and a text
// without "//" ("abc") is all path, with no host to send it to. The grammar's
// regular expression is the oracle.
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/http_url.h"

namespace {

// Longer URLs are refused. The oracle's matcher recurses once per character,
// so it is not asked about them either.
constexpr size_t kLongestUrl = 4096;

struct Expected {
  bool ok = false;
  std::string host;
  std::string path;
  long port = 80;
  bool rooted = false;  // what follows the host (or the whole text) is empty or starts with "/"
  bool secure = false;  // "https:": over TLS, 443 by default
};

// The URL grammar as its regular expression, fully matched: the oracle the
// product's one-pass reader is compared with.
Expected Read(const std::string& url) {
  Expected e;
  if (url.size() > kLongestUrl) return e;
  static const std::regex pattern(
      "^(?:(https?):)?(?://([^:/?#]*)(?::(\\d+))?)?([^?#]*(?:\\?[^#]*)?)(?:#.*)?",
      std::regex::ECMAScript);
  std::smatch m;
  if (!std::regex_match(url, m, pattern)) return e;
  e.secure = m[1].matched && m[1].str() == "https";
  e.port = e.secure ? 443 : 80;
  if (m[3].length() > 0) {
    e.port = 0;
    for (char c : m[3].str())
      if (e.port <= 65535) e.port = e.port * 10 + (c - '0');
  }
  e.host = m[2].matched ? m[2].str() : std::string();
  e.path = m[4].length() > 0 ? m[4].str() : std::string("/");
  e.rooted = e.path[0] == '/';
  // A port the client cannot use makes the URL unusable.
  e.ok = e.port <= 65535;
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  HttpUrl parsed;
  const bool ok = ParseHttpUrl(url, parsed);
  const Expected want = Read(url);
  FUZZ_CHECK(ok == want.ok, std::string(ok ? "accepted " : "refused ") + fuzz::Shown(url));
  if (!ok) return 0;
  FUZZ_CHECK(parsed.port >= 0 && parsed.port <= 65535,
             "port " + std::to_string(parsed.port) + " from " + fuzz::Shown(url));
  FUZZ_CHECK(!parsed.path.empty(), "empty path from " + fuzz::Shown(url));
  if (want.rooted)
    FUZZ_CHECK(parsed.path[0] == '/', "path " + fuzz::Shown(parsed.path) + " from " + fuzz::Shown(url));
  FUZZ_CHECK(parsed.path.find('#') == std::string::npos, "fragment kept: " + fuzz::Shown(url));
  FUZZ_CHECK(parsed.host.find_first_of(":/?#") == std::string::npos,
             "host " + fuzz::Shown(parsed.host));
  FUZZ_CHECK(parsed.host == want.host, "host " + fuzz::Shown(parsed.host) + " expected " +
                                           fuzz::Shown(want.host) + " from " + fuzz::Shown(url));
  FUZZ_CHECK(parsed.port == want.port, "port " + std::to_string(parsed.port) + " expected " +
                                           std::to_string(want.port) + " from " + fuzz::Shown(url));
  FUZZ_CHECK(parsed.secure == want.secure, "scheme misread from " + fuzz::Shown(url));
  FUZZ_CHECK(parsed.path == want.path, "path " + fuzz::Shown(parsed.path) + " expected " +
                                           fuzz::Shown(want.path) + " from " + fuzz::Shown(url));
  return 0;
}
