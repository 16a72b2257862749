#pragma once
// Plain TCP for "http": large receives straight into one buffer.
#include <memory>

#include "net/byte_stream.h"

class PlainStream : public IByteStream {
 public:
  PlainStream();
  ~PlainStream() override;
  PlainStream(const PlainStream&) = delete;
  PlainStream& operator=(const PlainStream&) = delete;

  bool Open(const std::string& host, int port, const std::function<bool()>& keepGoing,
            TransportResult& result) override;
  bool Send(const std::string& data, const std::function<bool()>& keepGoing) override;
  StreamRead Receive(const std::function<bool()>& keepGoing, const char*& data,
                     size_t& size) override;

 private:
  struct Buffered;
  std::unique_ptr<Buffered> b_;
};
