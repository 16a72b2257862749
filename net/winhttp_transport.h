#pragma once
// "https" through the system's WinHTTP: TLS with the system's certificate
// check, the system's proxy settings, redirects left to the caller.
#include "net/transport.h"

class WinHttpTransport : public ITransport {
 public:
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;
};
