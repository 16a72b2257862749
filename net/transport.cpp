#include "net/transport.h"

#include <cctype>

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Trimmed(const std::string& text) {
  size_t from = text.find_first_not_of(" \t");
  if (from == std::string::npos) return std::string();
  size_t to = text.find_last_not_of(" \t");
  return text.substr(from, to - from + 1);
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

HeaderList ParseRawHeaders(const std::string& raw) {
  HeaderList headers;
  size_t at = 0;
  bool first = true;
  while (at < raw.size()) {
    size_t end = raw.find('\n', at);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {  // the status line
      first = false;
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    std::string name = line.substr(0, colon);
    bool token = true;  // no spaces or control characters in a header name
    for (unsigned char c : name) token = token && c > 0x20 && c != 0x7f;
    if (!token) continue;
    headers.emplace_back(name, Trimmed(line.substr(colon + 1)));
  }
  return headers;
}
