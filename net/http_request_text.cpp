#include "net/http_request_text.h"

#include <cstring>

namespace {

bool SafeName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c <= 32 || c >= 127 || std::strchr("\"(),/:;<=>?@[\\]{}", c)) return false;
  return true;
}

bool SafeValue(const std::string& value) {
  for (unsigned char c : value)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

std::string EncodedPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (unsigned char c : path) {
    if (c <= 32 || c >= 127) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (out.empty() || out[0] != '/') out.insert(out.begin(), '/');
  return out;
}

}  // namespace

bool HeadersAreSafe(const HeaderList& headers) {
  for (const auto& h : headers)
    if (!SafeName(h.first) || !SafeValue(h.second)) return false;
  return true;
}

bool BuildGetRequest(const HttpUrl& url, const HeaderList& headers, const std::string& agent,
                     std::string& request) {
  request.clear();
  if (url.host.empty() || !SafeValue(url.host) || url.host.find_first_of(" /\\@") != std::string::npos)
    return false;
  if (!HeadersAreSafe(headers) || !SafeValue(agent)) return false;
  std::string text = "GET " + EncodedPath(url.path) + " HTTP/1.1\r\nHost: " + url.host;
  if (url.port != (url.secure ? 443 : 80)) text += ":" + std::to_string(url.port);
  text += "\r\nUser-Agent: " + agent + "\r\n";
  for (const auto& h : headers) text += h.first + ": " + h.second + "\r\n";
  text += "Connection: close\r\n\r\n";
  request = std::move(text);
  return true;
}
