#include "net/httplib_transport.h"

// httplib pulls in winsock2.h, which must come before windows.h.
#include <httplib.h>

#include <exception>
#include <memory>

#include "base/log.h"
#include "net/exchange.h"

namespace {

TransportFailure FailureOf(httplib::Error error) {
  switch (error) {
    case httplib::Error::Connection:
      return TransportFailure::kConnection;
    case httplib::Error::Canceled:
      return TransportFailure::kStopped;
    default:
      return TransportFailure::kBroken;
  }
}

// The blocking half: runs on a thread of its own. The client and its socket
// stay here; the job's callbacks get the head and the body's blocks as the
// library reads them.
void Produce(const std::shared_ptr<Exchange>& ex, const HttpUrl& url, const HeaderList& headers) {
  httplib::Headers requestHeaders(headers.begin(), headers.end());
  httplib::Client client(url.host, url.port);
  // The download follows redirects itself, the same way for every transport.
  client.set_follow_location(false);
  try {
    httplib::Result res = client.Get(
        url.path, requestHeaders,
        [&](const httplib::Response& r) {
          return ex->DeliverHead(r.status, HeaderList(r.headers.begin(), r.headers.end()));
        },
        [&](const char* data, size_t size) { return ex->DeliverBody(data, size); });
    if (res) {
      ex->End(TransportFailure::kNone);
    } else if (ex->Abandoned()) {
      ex->End(TransportFailure::kStopped);
    } else {
      ex->End(FailureOf(res.error()), httplib::to_string(res.error()));
    }
  } catch (const std::exception& e) {
    // The library throws on a few malformed answers; treat it as a broken
    // exchange rather than let it end the process.
    Log("request raised an exception: %s, host: %s, path: %s", e.what(), url.host.c_str(),
        url.path.c_str());
    ex->End(TransportFailure::kBroken);
  }
}

}  // namespace

TransportResult HttplibTransport::Get(const HttpUrl& url, const HeaderList& headers,
                                      const TransportCallbacks& callbacks) {
  TransportResult refused;
  if (!SafeToSend(url, headers, refused)) return refused;
  return RunExchange([url, headers](std::shared_ptr<Exchange> ex) { Produce(ex, url, headers); },
                     callbacks, url.host);
}
