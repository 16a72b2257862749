#include "net/plain_stream.h"

#include <vector>

#include "net/socket_connection.h"

namespace {

// A receive takes what the socket holds, up to this much: on a fast link
// that is about 600 receives a GiB.
constexpr size_t kReceiveBlock = 2 * 1024 * 1024;

}  // namespace

struct PlainStream::Buffered {
  SocketConnection connection;
  std::vector<char> buffer = std::vector<char>(kReceiveBlock);
};

PlainStream::PlainStream() : b_(new Buffered) {}
PlainStream::~PlainStream() = default;

bool PlainStream::Open(const std::string& host, int port, const std::function<bool()>& keepGoing,
                       TransportResult& result) {
  return b_->connection.Connect(host, port, keepGoing, result);
}

bool PlainStream::Send(const std::string& data, const std::function<bool()>& keepGoing) {
  return b_->connection.SendAll(data.data(), data.size(), keepGoing);
}

StreamRead PlainStream::Receive(const std::function<bool()>& keepGoing, const char*& data,
                                size_t& size) {
  StreamRead r = b_->connection.ReceiveSome(b_->buffer.data(), b_->buffer.size(), size, keepGoing);
  data = b_->buffer.data();
  return r;
}
