#include "net/httplib_transport.h"

// httplib pulls in winsock2.h, which must come before windows.h.
#include <httplib.h>

#include <exception>

#include "base/log.h"

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

}  // namespace

TransportResult HttplibTransport::Get(const HttpUrl& url, const HeaderList& headers,
                                      const TransportCallbacks& callbacks) {
  TransportResult result;
  httplib::Headers requestHeaders(headers.begin(), headers.end());
  httplib::Client client(url.host, url.port);
  // The download follows redirects itself, the same way for every transport.
  client.set_follow_location(false);

  bool redirect = false;
  try {
    httplib::Result res = client.Get(
        url.path, requestHeaders,
        [&](const httplib::Response& r) {
          result.status = r.status;
          if (IsRedirectStatus(r.status) && r.has_header("Location")) {
            redirect = true;
            result.location = r.get_header_value("Location");
            return callbacks.keepGoing();
          }
          TransportResponse response;
          response.status = r.status;
          response.headers.assign(r.headers.begin(), r.headers.end());
          return callbacks.onResponse(response);
        },
        [&](const char* data, size_t size) {
          // A redirect's own body is of no use to anyone.
          return redirect ? callbacks.keepGoing() : callbacks.onData(data, size);
        },
        [&](uint64_t current, uint64_t length) {
          return redirect ? callbacks.keepGoing() : callbacks.onProgress(current, length);
        });
    if (!res) {
      result.failure = FailureOf(res.error());
      return result;
    }
    result.status = res->status;
  } catch (const std::exception& e) {
    // The library throws on a few malformed answers; treat it as a broken
    // exchange rather than let it end the process.
    Log("request raised an exception: %s, host: %s, path: %s", e.what(), url.host.c_str(),
        url.path.c_str());
    result.failure = TransportFailure::kBroken;
  }
  return result;
}
