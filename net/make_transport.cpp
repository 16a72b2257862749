#include "net/httplib_transport.h"
#include "net/transport.h"
#include "net/winhttp_transport.h"

std::unique_ptr<ITransport> MakeTransport(const HttpUrl& url) {
  if (url.secure) return std::make_unique<WinHttpTransport>();
  return std::make_unique<HttplibTransport>();
}
