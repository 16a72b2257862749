// A response comes from the network byte by byte. Whatever it holds and
// however the connection splits it, the reader ends in the same state with
// the same body, never passes on more body than the response announced,
// and never takes bytes beyond the response's end. The request built with
// a header value from the input is either refused or keeps its lines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "net/http_request_text.h"
#include "net/http_response_reader.h"

namespace {

struct Result {
  HttpResponseReader::Phase phase;
  std::string body;
  size_t used = 0;
  bool lengthKnown = false;
  uint64_t length = 0;
};

Result ReadInPieces(const std::string& wire, size_t piece) {
  HttpResponseReader reader;
  Result r;
  auto sink = [&](const char* data, size_t size) {
    r.body.append(data, size);
    return true;
  };
  while (r.used < wire.size()) {
    size_t n = std::min(piece, wire.size() - r.used);
    size_t step = reader.Feed(wire.data() + r.used, n, sink);
    FUZZ_CHECK(step <= n, "took more than it was given");
    if (step == 0) break;
    r.used += step;
  }
  reader.EndOfStream();
  r.phase = reader.phase();
  r.lengthKnown = reader.LengthKnown();
  r.length = reader.Length();
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t piece = 1 + data[0] % 17;
  const std::string wire(reinterpret_cast<const char*>(data) + 1, size - 1);
  Result whole = ReadInPieces(wire, wire.size() + 1);
  Result split = ReadInPieces(wire, piece);
  FUZZ_CHECK(whole.phase == split.phase, "phase depends on the pieces: " + fuzz::Shown(wire));
  FUZZ_CHECK(whole.body == split.body, "body depends on the pieces: " + fuzz::Shown(wire));
  FUZZ_CHECK(whole.used == split.used, "end depends on the pieces: " + fuzz::Shown(wire));
  if (whole.lengthKnown)
    FUZZ_CHECK(whole.body.size() <= whole.length, "body beyond its length: " + fuzz::Shown(wire));
  FUZZ_CHECK(whole.body.size() <= wire.size(), "body from nowhere");

  HttpUrl url;
  url.host = "cdn.example";
  url.path = wire;
  std::string request;
  if (BuildGetRequest(url, {{"If-Range", wire}}, "agent", request)) {
    size_t lines = 0;
    for (size_t at = request.find("\r\n"); at != std::string::npos; at = request.find("\r\n", at + 2))
      ++lines;
    FUZZ_CHECK(lines == 6, "request lines added by " + fuzz::Shown(wire));
    FUZZ_CHECK(request.find('\n') == request.find("\r\n") + 1, "bare line feed");
    FUZZ_CHECK(request.find('\0') == std::string::npos, "NUL in the request");
  }
  return 0;
}
