#include "net/http_url.h"

#include "base/log.h"

namespace {

// Statistics reports reach 4,095 characters; nothing the launcher fetches is
// longer than this.
constexpr size_t kMaxUrlLength = 4096;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// The grammar, each part optional: "http:" or "https:", "//host" with
// ":digits", the path and query up to the first "#", and a fragment without
// CR or LF. No part can hand characters to another, so one left-to-right pass
// decides: the host ends at ":", "/" or "?"; a ":" not followed by a digit
// (and whatever follows a port's digits) belongs to the path; a text without
// "//" is all path.
bool ParseHttpUrl(const std::string& url, HttpUrl& out) {
  if (url.size() > kMaxUrlLength) return false;
  const size_t hash = url.find('#');
  if (hash != std::string::npos && url.find_first_of("\r\n", hash) != std::string::npos) return false;
  const std::string rest = url.substr(0, hash);

  bool secure = false;
  size_t i = 0;
  if (rest.compare(0, 5, "http:") == 0) {
    i = 5;
  } else if (rest.compare(0, 6, "https:") == 0) {
    i = 6;
    secure = true;
  }
  // A port beyond 65535 would be cut to 16 bits by the socket layer and
  // connect somewhere else (":65616" is port 80), so such a URL is refused.
  // A certificate-checked connection must never silently become plain HTTP.
  int port = secure ? 443 : 80;
  std::string host;
  if (rest.compare(i, 2, "//") == 0) {
    i += 2;
    size_t end = rest.find_first_of(":/?", i);
    if (end == std::string::npos) end = rest.size();
    host = rest.substr(i, end - i);
    i = end;
    if (i + 1 < rest.size() && rest[i] == ':' && IsDigit(rest[i + 1])) {
      port = 0;
      for (++i; i < rest.size() && IsDigit(rest[i]); ++i) {
        port = port * 10 + (rest[i] - '0');
        if (port > 65535) return false;
      }
    }
  }
  out.host = host;
  out.path = i < rest.size() ? rest.substr(i) : std::string("/");
  out.port = port;
  out.secure = secure;
  Log("host: %s, path: %s, port: %d", out.host.c_str(), out.path.c_str(), out.port);
  return true;
}
