#include "net/socket_connection.h"

#include <ws2tcpip.h>

#include <algorithm>

#include "net/transport_errors.h"

namespace {

constexpr auto kConnectFor = std::chrono::milliseconds(60000);
constexpr auto kSendFor = std::chrono::milliseconds(30000);
constexpr long kStopCheckMs = 50;

using Clock = std::chrono::steady_clock;

enum class Wait { kReady, kTimeOut, kStopped, kError };

// Waits until `s` can be read (or written), in short steps so that a stop
// is seen promptly; `limit` is the longest wait.
Wait WaitFor(SOCKET s, bool forWrite, Clock::duration limit,
             const std::function<bool()>& keepGoing) {
  auto until = Clock::now() + limit;
  for (;;) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval step{0, kStopCheckMs * 1000};
    int n = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &step);
    if (n == SOCKET_ERROR) return Wait::kError;
    if (n > 0) return FD_ISSET(s, &failed) ? Wait::kError : Wait::kReady;
    if (keepGoing && !keepGoing()) return Wait::kStopped;
    if (Clock::now() >= until) return Wait::kTimeOut;
  }
}

bool IsAddressLiteral(const std::string& host) {
  in_addr v4;
  in6_addr v6;
  return inet_pton(AF_INET, host.c_str(), &v4) == 1 || inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

void SetFailure(TransportResult& result, TransportFailure failure, unsigned long code) {
  result.failure = failure;
  result.systemCode = code;
}

}  // namespace

bool SocketConnection::Connect(const std::string& host, int port,
                               const std::function<bool()>& keepGoing, TransportResult& result) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  // An address needs no name lookup, which takes milliseconds even for one.
  if (IsAddressLiteral(host)) hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  if (!winsock_.Ok() || host.empty() ||
      getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
    SetFailure(result, TransportFailure::kConnection, winhttp_code::kNameNotResolved);
    return false;
  }
  auto until = Clock::now() + kConnectFor;
  bool stopped = false;
  for (addrinfo* a = found; a && !stopped; a = a->ai_next) {
    net::UniqueSocket s(::socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    if (!s) continue;
    u_long nonBlocking = 1;
    ioctlsocket(s.Get(), FIONBIO, &nonBlocking);
    BOOL noDelay = TRUE;
    setsockopt(s.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
    if (::connect(s.Get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) continue;
      auto left = std::max<Clock::duration>(until - Clock::now(), Clock::duration::zero());
      Wait w = WaitFor(s.Get(), true, left, keepGoing);
      stopped = w == Wait::kStopped;
      int error = 0;
      int length = sizeof error;
      if (w != Wait::kReady ||
          getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
          error != 0)
        continue;
    }
    socket_ = std::move(s);
    break;
  }
  freeaddrinfo(found);
  if (stopped) {
    SetFailure(result, TransportFailure::kStopped, 0);
    return false;
  }
  if (!socket_) {
    SetFailure(result, TransportFailure::kConnection, winhttp_code::kCannotConnect);
    return false;
  }
  return true;
}

bool SocketConnection::SendAll(const char* data, size_t size,
                               const std::function<bool()>& keepGoing) {
  auto until = Clock::now() + kSendFor;
  while (size > 0) {
    int n = ::send(socket_.Get(), data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) return false;
    auto left = until - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    if (WaitFor(socket_.Get(), true, left, keepGoing) != Wait::kReady) return false;
  }
  return true;
}

StreamRead SocketConnection::ReceiveSome(char* buffer, size_t room, size_t& got,
                                         const std::function<bool()>& keepGoing) {
  got = 0;
  if (room == 0) return StreamRead::kBroken;
  int ask = static_cast<int>(std::min<size_t>(room, 1 << 30));
  for (;;) {
    // Asking first costs nothing when bytes are waiting, which is most of
    // the time during a download; the wait comes only when none are.
    int n = ::recv(socket_.Get(), buffer, ask, 0);
    if (n > 0) {
      got = static_cast<size_t>(n);
      return StreamRead::kData;
    }
    if (n == 0) return StreamRead::kClosed;
    if (WSAGetLastError() != WSAEWOULDBLOCK) return StreamRead::kBroken;
    switch (WaitFor(socket_.Get(), false, kSilentFor, keepGoing)) {
      case Wait::kReady:
        continue;
      case Wait::kTimeOut:
        return StreamRead::kSilent;
      case Wait::kStopped:
        return StreamRead::kStopped;
      case Wait::kError:
        // A reset shows as an error on the socket; the receive tells which.
        n = ::recv(socket_.Get(), buffer, ask, 0);
        if (n > 0) {
          got = static_cast<size_t>(n);
          return StreamRead::kData;
        }
        return n == 0 ? StreamRead::kClosed : StreamRead::kBroken;
    }
  }
}
