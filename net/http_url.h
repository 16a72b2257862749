#pragma once
// Splitting a download URL into scheme, host, port and path. Free of
// windows.h so it can be tested on its own.
#include <string>

struct HttpUrl {
  bool secure = false;  // "https": fetched over TLS
  std::string host;     // empty when the URL is only a path
  int port = 80;
  std::string path;  // path and query; the fragment is dropped
};

// Full match of the launcher's URL pattern. "https" is fetched over TLS, port
// 443 unless the URL names one; "http" and a URL without a scheme are plain
// HTTP, port 80 unless the URL names one. A port above
// 65535 and a URL longer than 4,096 characters are refused. Logs the parts on
// success.
bool ParseHttpUrl(const std::string& url, HttpUrl& out);
