#pragma once
// A GET through the system's WinHTTP: TLS with the system's certificate
// store and policy (revocation checked, TLS 1.2 and 1.3 only), through the
// proxy it is given, redirects left to the caller. The session and the
// connection to the last server asked stay with the transport object, so
// the Gets of one object share WinHTTP's kept-alive connections.
#include <memory>

#include "net/system_proxy.h"
#include "net/transport.h"

class WinHttpTransport : public ITransport {
 public:
  explicit WinHttpTransport(ProxyChoice proxy);
  ~WinHttpTransport() override;
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;

  struct Handles;

 private:
  ProxyChoice proxy_;
  std::shared_ptr<Handles> handles_;
};
