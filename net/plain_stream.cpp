#include "net/plain_stream.h"

#include "net/receive_block.h"
#include "net/socket_connection.h"

struct PlainStream::Buffered {
  SocketConnection connection;
  ReceiveBlock buffer;
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
  size_t offered = b_->buffer.Offer(0);
  StreamRead r = b_->connection.ReceiveSome(b_->buffer.data(), offered, size, keepGoing);
  if (r == StreamRead::kData) b_->buffer.Received(offered, size);
  data = b_->buffer.data();
  return r;
}
