#include "net/transport.h"

#include <cctype>
#include <cstring>

#include "base/log.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The scheme of an absolute URL ("HTTPS:" counts), lower-cased; empty when
// the text has none.
std::string SchemeOf(const std::string& url) {
  size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return std::string();
  std::string scheme;
  for (size_t i = 0; i < colon; ++i) {
    unsigned char c = static_cast<unsigned char>(url[i]);
    bool ok = std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
    if (!ok) return std::string();
    scheme += static_cast<char>(std::tolower(c));
  }
  return scheme;
}

}  // namespace

std::string TransportResponse::Header(const std::string& name) const {
  for (const auto& h : headers)
    if (SameName(h.first, name)) return h.second;
  return std::string();
}

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool ResolveRedirect(const HttpUrl& from, const std::string& location, HttpUrl& to,
                     bool& downgrade) {
  downgrade = false;
  if (location.empty()) return false;
  // A location is sent on to a server as it stands: no control characters,
  // no spaces (which would break the request line).
  for (unsigned char c : location)
    if (c <= 0x20 || c == 0x7f) return false;

  const std::string origin = std::string(from.secure ? "https" : "http") + "://" + from.host +
                             ":" + std::to_string(from.port);
  std::string absolute;
  std::string scheme = SchemeOf(location);
  if (!scheme.empty()) {
    if (scheme != "http" && scheme != "https") return false;
    if (location.compare(scheme.size(), 3, "://") != 0) return false;
    absolute = scheme + location.substr(scheme.size());
  } else if (location.compare(0, 2, "//") == 0) {
    absolute = std::string(from.secure ? "https:" : "http:") + location;
  } else if (location[0] == '/') {
    absolute = origin + location;
  } else {
    // Relative to the folder of the current path (its query left out).
    std::string path = from.path.substr(0, from.path.find('?'));
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "/" : path.substr(0, slash + 1);
    absolute = origin + folder + location;
  }
  HttpUrl next;
  if (!ParseHttpUrl(absolute, next) || next.host.empty()) return false;
  if (from.secure && !next.secure) {
    downgrade = true;
    return false;
  }
  to = next;
  return true;
}

bool HeadersAreSafe(const HeaderList& headers) {
  for (const auto& h : headers) {
    if (h.first.empty()) return false;
    for (unsigned char c : h.first)
      if (c <= 32 || c >= 127 || std::strchr("\"(),/:;<=>?@[\\]{}", c)) return false;
    for (unsigned char c : h.second)
      if (c == '\r' || c == '\n' || c == '\0') return false;
  }
  return true;
}

bool SafeToSend(const HttpUrl& url, const HeaderList& headers, TransportResult& refused) {
  if (HeadersAreSafe(headers)) return true;
  Log("request refused: a header would break the request, host: %s", url.host.c_str());
  refused = TransportResult();
  refused.failure = TransportFailure::kConnection;
  return false;
}

bool ParseContentLength(const std::string& text, uint64_t& length) {
  if (text.empty() || text.size() > 18) return false;
  length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    length = length * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}
