#pragma once
// One HTTP GET over some connection: the layer under the download job.
// "https" goes through the system's WinHTTP (its certificate store, TLS policy
// and proxy), "http" through cpp-httplib, or WinHTTP too when a proxy applies
// to the URL; the job's retries, resume, file handling and error texts sit
// above and are shared. Free of windows.h.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/http_url.h"

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// Why an exchange produced no usable response.
enum class TransportFailure {
  kNone,            // the response arrived and its body was read to the end
  kConnection,      // no connection could be made (name, refused, connect time-out)
  kBroken,          // the connection broke or went silent during the exchange
  kStopped,         // a callback asked to stop, or the stop check fired
  kTlsCertificate,  // the server's certificate was rejected; `detail` says why
  kTlsHandshake,    // the TLS handshake failed (wine: also a rejected certificate)
};

// The status line and headers of a response.
struct TransportResponse {
  int status = 0;
  HeaderList headers;
  // The first value of header `name` (case-insensitive); empty when absent.
  std::string Header(const std::string& name) const;
};

struct TransportResult {
  TransportFailure failure = TransportFailure::kNone;
  int status = 0;            // status of the response, when one arrived
  std::string location;      // "Location" of a redirect (3xx); its body is dropped
  std::string detail;        // the reason of a TLS failure, for the error text
  unsigned long systemCode = 0;  // the system's error number, 0 when none
};

struct TransportCallbacks {
  // Status and headers of a response that is not a redirect; false abandons it.
  std::function<bool(const TransportResponse&)> onResponse;
  // Each block of the body; false stops the transfer.
  std::function<bool(const char* data, size_t size)> onData;
  // Bytes of this response so far and its announced length, when it announces one.
  std::function<bool(uint64_t current, uint64_t length)> onProgress;
  // Polled while the exchange waits on the network; false ends it promptly.
  std::function<bool()> keepGoing;
};

class ITransport {
 public:
  virtual ~ITransport() = default;
  // One GET of `url` with the given request headers. Redirects are not
  // followed: a 3xx with a "Location" comes back in `location`, and the
  // caller decides whether to go there.
  virtual TransportResult Get(const HttpUrl& url, const HeaderList& headers,
                              const TransportCallbacks& callbacks) = 0;
};

// WinHTTP for "https" and for anything behind a proxy, cpp-httplib otherwise.
std::unique_ptr<ITransport> MakeTransport(const HttpUrl& url);

// Statuses whose "Location" the download follows.
bool IsRedirectStatus(int status);

// Where a redirect from `from` to `location` leads. False when the location
// cannot be read or would take an https request to plain http (`downgrade`
// is then true): a certificate-checked download never continues unchecked.
bool ResolveRedirect(const HttpUrl& from, const std::string& location, HttpUrl& to,
                     bool& downgrade);

// Whether every request header is a token name and a value without a line
// break or NUL: a validator echoed from a server must not add a header.
bool HeadersAreSafe(const HeaderList& headers);

// For a transport's Get: false, with the failure in `refused` (and a log
// line), when the request headers are not safe to send.
bool SafeToSend(const HttpUrl& url, const HeaderList& headers, TransportResult& refused);

// A Content-Length value: decimal digits only, at most 18 of them.
bool ParseContentLength(const std::string& text, uint64_t& length);
