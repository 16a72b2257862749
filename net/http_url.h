#pragma once
// Splitting a download URL into what httplib::Client needs. Free of windows.h
// so it can be tested on its own.
#include <string>

struct HttpUrl {
  std::string host;  // empty when the URL is only a path
  int port = 80;
  std::string path;  // path and query; the fragment is dropped
};

// Full match of the launcher's URL pattern. The scheme is read and ignored:
// every request is plain HTTP, port 80 unless the URL names one. A port above
// 65535 and a URL longer than 4,096 characters are refused. Logs the parts on
// success.
bool ParseHttpUrl(const std::string& url, HttpUrl& out);
