#pragma once
// A plain "http" GET through cpp-httplib, redirects left to the caller. A
// stop closes the connection, so a silent server does not hold it up. The
// client, and with it a kept-alive connection, stays with the transport
// object: the Gets of one object to one server share it.
#include <memory>

#include "net/transport.h"

class HttplibTransport : public ITransport {
 public:
  HttplibTransport();
  ~HttplibTransport() override;
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;

  struct Connection;

 private:
  std::shared_ptr<Connection> connection_;
};
