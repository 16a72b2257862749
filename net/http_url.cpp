#include "net/http_url.h"

#include <regex>

#include "base/log.h"

namespace {

// The matcher recurses once per character of the path, and a URL of about
// 5,000 characters already overflows a 2 MiB thread stack. Statistics reports
// reach 4,095 characters; nothing the launcher fetches is longer than this.
constexpr size_t kMaxUrlLength = 4096;

}  // namespace

bool ParseHttpUrl(const std::string& url, HttpUrl& out) {
  if (url.size() > kMaxUrlLength) return false;
  // Built once: std::regex construction is far slower than a match.
  static const std::regex pattern(
      "^(?:(https?):)?(?://([^:/?#]*)(?::(\\d+))?)?([^?#]*(?:\\?[^#]*)?)(?:#.*)?",
      std::regex::ECMAScript);
  std::smatch m;
  if (!std::regex_match(url, m, pattern)) return false;

  // A port beyond 65535 would be cut to 16 bits by the socket layer and
  // connect somewhere else (":65616" is port 80), so such a URL is refused.
  // A certificate-checked connection must never silently become plain HTTP.
  bool secure = m[1].matched && m[1].str() == "https";
  int port = secure ? 443 : 80;
  if (m[3].length() > 0) {
    port = 0;
    for (char c : m[3].str()) {
      port = port * 10 + (c - '0');
      if (port > 65535) return false;
    }
  }
  out.host = m[2].matched ? m[2].str() : std::string();
  out.path = m[4].length() > 0 ? m[4].str() : std::string("/");
  out.port = port;
  out.secure = secure;
  Log("host: %s, path: %s, port: %d", out.host.c_str(), out.path.c_str(), out.port);
  return true;
}
