#pragma once
// Plain HTTP through cpp-httplib's client.
#include "net/transport.h"

class HttplibTransport : public ITransport {
 public:
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;
};
