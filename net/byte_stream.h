#pragma once
// One connection that carries the bytes of an HTTP exchange: plain TCP or
// TLS over it. Free of windows.h.
#include <cstddef>
#include <functional>
#include <string>

#include "net/transport.h"

enum class StreamRead {
  kData,     // bytes arrived; they stay valid until the next receive
  kClosed,   // the server closed the connection
  kSilent,   // nothing came for the receive time-out
  kStopped,  // the stop check said no
  kBroken,   // the connection broke
};

class IByteStream {
 public:
  virtual ~IByteStream() = default;
  // Connects to `host`:`port` (and for TLS makes the handshake and checks
  // the certificate). On failure `result` says why. `keepGoing` is polled
  // while it waits, as in every call below.
  virtual bool Open(const std::string& host, int port, const std::function<bool()>& keepGoing,
                    TransportResult& result) = 0;
  // Sends all of `data`; false when the connection broke or the stop check fired.
  virtual bool Send(const std::string& data, const std::function<bool()>& keepGoing) = 0;
  // Waits for the next bytes of the response, in blocks of up to a few MiB.
  virtual StreamRead Receive(const std::function<bool()>& keepGoing, const char*& data,
                             size_t& size) = 0;
};
