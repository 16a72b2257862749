#include "base/log.h"
#include "base/text.h"
#include "net/httplib_transport.h"
#include "net/system_proxy.h"
#include "net/transport.h"
#include "net/winhttp_transport.h"

std::unique_ptr<ITransport> MakeTransport(const HttpUrl& url) {
  std::string text = std::string(url.secure ? "https://" : "http://") + url.host + ":" +
                     std::to_string(url.port) + url.path;
  ProxyChoice proxy = FindProxy(base::ToWide(text));
  if (proxy.named) {
    Log("through proxy %s: %s", base::Utf8(proxy.proxy).c_str(), url.host.c_str());
    return std::make_unique<WinHttpTransport>(std::move(proxy));
  }
  if (url.secure) return std::make_unique<WinHttpTransport>(ProxyChoice());
  return std::make_unique<HttplibTransport>();
}
