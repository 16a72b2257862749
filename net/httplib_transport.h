#pragma once
// A plain "http" GET through cpp-httplib, redirects left to the caller. A
// stop closes the connection, so a silent server does not hold it up.
#include "net/transport.h"

class HttplibTransport : public ITransport {
 public:
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;
};
