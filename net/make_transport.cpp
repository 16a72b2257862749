#include <mutex>

#include "base/log.h"
#include "net/stream_transport.h"
#include "net/transport.h"
#include "net/winhttp_transport.h"

namespace {

// Read once: the settings do not change while a download runs.
bool ThroughProxy() {
  static std::once_flag once;
  static bool proxied = false;
  std::call_once(once, [] {
    proxied = SystemProxyConfigured();
    if (proxied) Log("the system names a proxy: https goes through WinHTTP");
  });
  return proxied;
}

}  // namespace

std::unique_ptr<ITransport> MakeTransport(const HttpUrl& url) {
  if (url.secure && ThroughProxy()) return std::make_unique<WinHttpTransport>();
  return std::make_unique<StreamTransport>();
}
