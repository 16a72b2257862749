#pragma once
// The proxy a Windows program uses for a URL: the user's Internet Options
// (a named proxy with its bypass list, or automatic detection and a proxy
// script resolved per URL), else the machine's WinHTTP setting.
#include <string>

struct ProxyChoice {
  bool named = false;   // false: connect directly
  std::wstring proxy;   // "host:port" entries as WinHTTP takes them
  std::wstring bypass;  // the bypass list, applied by WinHTTP
};

// The proxy for `url`. Settings are read once per process; an automatic
// detection that found nothing is not tried again in the same process.
ProxyChoice FindProxy(const std::wstring& url);
