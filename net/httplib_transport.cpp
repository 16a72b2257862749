#include "net/httplib_transport.h"

// httplib pulls in winsock2.h, which must come before windows.h.
#include <httplib.h>

#include <exception>
#include <memory>
#include <mutex>

#include "base/log.h"
#include "net/exchange.h"

// The client of the last server asked, shared with the exchanges' threads:
// an exchange the job walked away from may still be reading with it, and
// the library lets one request at a time use it.
struct HttplibTransport::Connection {
  std::mutex lock;
  std::string host;
  int port = 0;
  std::shared_ptr<httplib::Client> client;

  std::shared_ptr<httplib::Client> For(const HttpUrl& url) {
    std::lock_guard<std::mutex> hold(lock);
    if (!client || host != url.host || port != url.port) {
      client = std::make_shared<httplib::Client>(url.host, url.port);
      // The download follows redirects itself, the same way for every transport.
      client->set_follow_location(false);
      client->set_keep_alive(true);
      // Requests of a ranged update follow each other on one connection;
      // none of them should wait for an ACK of the one before.
      client->set_tcp_nodelay(true);
      host = url.host;
      port = url.port;
    }
    return client;
  }
};

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
void Produce(const std::shared_ptr<Exchange>& ex, const std::shared_ptr<httplib::Client>& client,
             const HttpUrl& url, const HeaderList& headers) {
  httplib::Headers requestHeaders(headers.begin(), headers.end());
  try {
    httplib::Result res = client->Get(
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

HttplibTransport::HttplibTransport() : connection_(std::make_shared<Connection>()) {}

HttplibTransport::~HttplibTransport() = default;

TransportResult HttplibTransport::Get(const HttpUrl& url, const HeaderList& headers,
                                      const TransportCallbacks& callbacks) {
  TransportResult refused;
  if (!SafeToSend(url, headers, refused)) return refused;
  std::shared_ptr<httplib::Client> client = connection_->For(url);
  return RunExchange([client, url, headers](std::shared_ptr<Exchange> ex) { Produce(ex, client, url, headers); },
                     callbacks, url.host);
}
