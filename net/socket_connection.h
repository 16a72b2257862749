#pragma once
// A TCP connection of the launcher's own: non-blocking, every wait in short
// steps so that a stop is seen within one, and the same time-outs as every
// other exchange (connect 60 s, send 30 s, a silent server 5 s).
#include <winsock2.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "net/byte_stream.h"
#include "net/sspi_handles.h"

class SocketConnection {
 public:
  static constexpr std::chrono::milliseconds kSilentFor{5000};

  // Resolves `host` and connects to the first of its addresses that answers.
  bool Connect(const std::string& host, int port, const std::function<bool()>& keepGoing,
               TransportResult& result);
  bool SendAll(const char* data, size_t size, const std::function<bool()>& keepGoing);
  // Receives what has come, up to `room` bytes, into `buffer`; waits up to
  // the silent time-out for the first byte.
  StreamRead ReceiveSome(char* buffer, size_t room, size_t& got,
                         const std::function<bool()>& keepGoing);

 private:
  net::WinsockScope winsock_;
  net::UniqueSocket socket_;
};
