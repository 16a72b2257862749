#include "net/stream_transport.h"

#include <memory>

#include "base/log.h"
#include "net/http_request_text.h"
#include "net/http_response_reader.h"
#include "net/plain_stream.h"
#include "net/tls_stream.h"

TransportResult StreamTransport::Get(const HttpUrl& url, const HeaderList& headers,
                                  const TransportCallbacks& callbacks) {
  TransportResult result;
  std::string request;
  if (!BuildGetRequest(url, headers, "vorn-launcher", request)) {
    Log("request refused: a header or the host would break the request, host: %s",
        url.host.c_str());
    result.failure = TransportFailure::kConnection;
    return result;
  }
  std::unique_ptr<IByteStream> stream;
  if (url.secure) stream = std::make_unique<TlsStream>();
  else stream = std::make_unique<PlainStream>();
  if (!stream->Open(url.host, url.port, callbacks.keepGoing, result)) return result;
  if (!stream->Send(request, callbacks.keepGoing)) {
    result.failure = callbacks.keepGoing() ? TransportFailure::kBroken : TransportFailure::kStopped;
    return result;
  }

  HttpResponseReader reader;
  bool headSeen = false;
  auto sink = [&](const char* data, size_t size) { return callbacks.onData(data, size); };
  for (;;) {
    const char* data = nullptr;
    size_t size = 0;
    StreamRead read = stream->Receive(callbacks.keepGoing, data, size);
    if (read == StreamRead::kStopped) {
      result.failure = TransportFailure::kStopped;
      return result;
    }
    if (read == StreamRead::kClosed) {
      if (!reader.EndOfStream()) {
        Log("response cut short: %s, host: %s", reader.Problem().c_str(), url.host.c_str());
        result.failure = TransportFailure::kBroken;
      }
      return result;
    }
    if (read != StreamRead::kData) {
      result.failure = TransportFailure::kBroken;
      return result;
    }
    for (;;) {
      size_t used = reader.Feed(data, size, sink);
      data += used;
      size -= used;
      HttpResponseReader::Phase phase = reader.phase();
      if (phase == HttpResponseReader::Phase::kBad) {
        Log("bad response: %s, host: %s", reader.Problem().c_str(), url.host.c_str());
        result.failure = TransportFailure::kBroken;
        return result;
      }
      if (phase == HttpResponseReader::Phase::kStopped) {
        result.failure = TransportFailure::kStopped;
        return result;
      }
      if (!headSeen && phase != HttpResponseReader::Phase::kHead) {
        headSeen = true;
        const TransportResponse& head = reader.Head();
        result.status = head.status;
        // A redirect's own body is of no use to anyone.
        if (IsRedirectStatus(head.status) && !head.Header("Location").empty()) {
          result.location = head.Header("Location");
          return result;
        }
        if (!callbacks.onResponse(head)) {
          result.failure = TransportFailure::kStopped;
          return result;
        }
      }
      if (phase == HttpResponseReader::Phase::kDone || size == 0 || used == 0) break;
    }
    if (headSeen && reader.LengthKnown() &&
        !callbacks.onProgress(reader.BodyBytes(), reader.Length())) {
      result.failure = TransportFailure::kStopped;
      return result;
    }
    if (reader.phase() == HttpResponseReader::Phase::kDone) return result;
  }
}
