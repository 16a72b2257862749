#pragma once
// HTTP/1.1 over a connection of the launcher's own: plain TCP for "http",
// TLS through the system's Schannel for "https" (TlsStream). One connection
// per exchange, receives of up to 2 MiB, every byte of the response read by
// HttpResponseReader.
#include "net/transport.h"

class StreamTransport : public ITransport {
 public:
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;
};
