#pragma once
// A GET through the system's WinHTTP: TLS with the system's certificate
// store and policy (revocation checked, TLS 1.2 and 1.3 only), through the
// proxy it is given, redirects left to the caller.
#include "net/system_proxy.h"
#include "net/transport.h"

class WinHttpTransport : public ITransport {
 public:
  explicit WinHttpTransport(ProxyChoice proxy) : proxy_(std::move(proxy)) {}
  TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                      const TransportCallbacks& callbacks) override;

 private:
  ProxyChoice proxy_;
};
