#pragma once
// TLS over a connection of the launcher's own, with the system's Schannel
// for the protocol and the system's certificate store for the check of the
// server's chain and name. It receives in large blocks and decrypts every
// record of a block in place, so a download costs one receive per block
// rather than one per 16 KiB record.
#include <memory>

#include "net/byte_stream.h"

class TlsStream : public IByteStream {
 public:
  TlsStream();
  ~TlsStream() override;
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  bool Open(const std::string& host, int port, const std::function<bool()>& keepGoing,
            TransportResult& result) override;
  bool Send(const std::string& data, const std::function<bool()>& keepGoing) override;
  StreamRead Receive(const std::function<bool()>& keepGoing, const char*& data,
                     size_t& size) override;

 private:
  struct Session;
  std::unique_ptr<Session> s_;
};
