#include "net/http_url.h"

#include <cstdlib>
#include <regex>

#include "app/log.h"

bool ParseHttpUrl(const std::string& url, HttpUrl& out) {
  // Built once: std::regex construction is far slower than a match.
  static const std::regex pattern(
      "^(?:(https?):)?(?://([^:/?#]*)(?::(\\d+))?)?([^?#]*(?:\\?[^#]*)?)(?:#.*)?",
      std::regex::ECMAScript);
  std::smatch m;
  if (!std::regex_match(url, m, pattern)) return false;

  out.host = m[2].matched ? m[2].str() : std::string();
  out.path = m[4].length() > 0 ? m[4].str() : std::string("/");
  // strtol saturates instead of overflowing on an absurdly long port.
  out.port = m[3].length() > 0 ? static_cast<int>(std::strtol(m[3].str().c_str(), nullptr, 10)) : 80;
  Log("host: %s, path: %s, port: %d", out.host.c_str(), out.path.c_str(), out.port);
  return true;
}
