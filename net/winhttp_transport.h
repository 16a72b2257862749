#pragma once
// "https" through the system's WinHTTP: TLS with the system's certificate
// check, the system's proxy settings, redirects left to the caller.
#include "net/transport.h"

class WinHttpTransport : public ITransport {
 public:
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;
};

// Whether the system names a proxy or a proxy script for this user or
// machine; only WinHTTP knows how to go through one.
bool SystemProxyConfigured();
