// URLs come from the install configuration and the server's replies. A URL
// that ParseHttpUrl accepts must name a port the client can really connect to
// (0..65535, never a value that wraps into another port), and its parts must
// be the ones a plain left-to-right reading of the URL pattern gives.
//
// The request path starts with "/" for every URL whose host is followed by
// "/" or by nothing; the pattern hands over verbatim whatever else follows the
// host or port ("http://h?q" gives "?q", "http://h:80x" gives "x"), and a text
// without "//" ("abc") is all path, with no host to send it to.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/http_url.h"

namespace {

// Longer URLs are refused: the pattern matcher recurses per character.
constexpr size_t kLongestUrl = 4096;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Expected {
  bool ok = false;
  std::string host;
  std::string path;
  long port = 80;
  bool rooted = false;  // what follows the host (or the whole text) is empty or starts with "/"
  bool secure = false;  // "https:": over TLS, 443 by default
};

// The pattern's parts never compete for a character, so one pass decides:
// an optional "http:"/"https:", an optional "//host[:digits]", then path and
// query up to the first "#"; a fragment holding CR or LF fails the match.
Expected Read(const std::string& url) {
  Expected e;
  size_t hash = url.find('#');
  if (hash != std::string::npos && url.find_first_of("\r\n", hash) != std::string::npos) return e;
  std::string rest = url.substr(0, hash);
  size_t i = 0;
  if (rest.compare(0, 5, "http:") == 0) {
    i = 5;
  } else if (rest.compare(0, 6, "https:") == 0) {
    i = 6;
    e.secure = true;
    e.port = 443;
  }
  if (rest.compare(i, 2, "//") == 0) {
    i += 2;
    size_t end = rest.find_first_of(":/?", i);
    if (end == std::string::npos) end = rest.size();
    e.host = rest.substr(i, end - i);
    i = end;
    if (i + 1 < rest.size() && rest[i] == ':' && IsDigit(rest[i + 1])) {
      size_t j = i + 1;
      e.port = 0;
      for (; j < rest.size() && IsDigit(rest[j]); ++j)
        if (e.port <= 65535) e.port = e.port * 10 + (rest[j] - '0');
      i = j;
    }
  }
  e.path = rest.substr(i);
  if (e.path.empty()) e.path = "/";
  e.rooted = e.path[0] == '/';
  // A port the client cannot use makes the URL unusable.
  e.ok = e.port <= 65535 && url.size() <= kLongestUrl;
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
