// The HTTP reader and request text of the launcher's own TLS transport: every
// byte of a response comes from the network, so its limits matter as much
// as its happy path.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "net/http_request_text.h"
#include "net/http_response_reader.h"

namespace {

struct Outcome {
  HttpResponseReader::Phase phase = HttpResponseReader::Phase::kHead;
  int status = 0;
  std::string body;
  size_t used = 0;  // bytes of the input the reader took
  std::string problem;
};

// Feeds `wire` in pieces of `piece` bytes, as the connection might hand it over.
Outcome Read(const std::string& wire, size_t piece, bool endOfStream = false) {
  HttpResponseReader reader;
  Outcome out;
  auto sink = [&](const char* data, size_t size) {
    out.body.append(data, size);
    return true;
  };
  size_t at = 0;
  while (at < wire.size()) {
    size_t n = std::min(piece, wire.size() - at);
    size_t used = 0;
    // The reader may stop early (after the head): give it the rest again.
    while (used < n) {
      size_t step = reader.Feed(wire.data() + at + used, n - used, sink);
      if (step == 0) break;
      used += step;
    }
    at += used;
    if (used < n) break;
  }
  if (endOfStream) reader.EndOfStream();
  out.phase = reader.phase();
  out.status = reader.Head().status;
  out.used = at;
  out.problem = reader.Problem();
  return out;
}

using Phase = HttpResponseReader::Phase;

}  // namespace

TEST(HttpResponseReader, LengthAndChunkedBodiesReadTheSameInAnyPieces) {
  const std::string sized =
      "HTTP/1.1 206 Partial Content\r\nContent-Length: 11\r\nContent-Range: bytes 5-15/16\r\n\r\n"
      "hello world" "NEXT";  // bytes after the body belong to nobody
  const std::string chunked =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n"
      "5;name=value\r\nhello\r\n6 \r\n world\r\n0\r\nX-Trailer: t\r\n\r\n" "NEXT";
  for (size_t piece : {size_t(1), size_t(2), size_t(7), size_t(4096)}) {
    SCOPED_TRACE(piece);
    Outcome a = Read(sized, piece);
    EXPECT_EQ(a.phase, Phase::kDone);
    EXPECT_EQ(a.body, "hello world");
    EXPECT_EQ(a.used, sized.size() - 4);
    Outcome b = Read(chunked, piece);
    EXPECT_EQ(b.phase, Phase::kDone) << b.problem;
    EXPECT_EQ(b.status, 200);
    EXPECT_EQ(b.body, "hello world");
    EXPECT_EQ(b.used, chunked.size() - 4);
  }
}

TEST(HttpResponseReader, TheHeadIsReadBeforeAnyBodyByteAndHeadersKeepTheirValues) {
  HttpResponseReader reader;
  std::string wire =
      "HTTP/1.1 200 OK\nETag:  \"abc\"  \nContent-Length: 4, 4\nX-Empty:\n\nbody";
  std::string body;
  auto sink = [&](const char* d, size_t n) {
    body.append(d, n);
    return true;
  };
  size_t used = reader.Feed(wire.data(), wire.size(), sink);
  EXPECT_EQ(used, wire.size() - 4);
  EXPECT_EQ(body, "");
  ASSERT_EQ(reader.phase(), Phase::kBody);
  EXPECT_EQ(reader.Head().Header("etag"), "\"abc\"");
  EXPECT_EQ(reader.Head().Header("X-Empty"), "");
  EXPECT_TRUE(reader.LengthKnown());
  EXPECT_EQ(reader.Length(), 4u);
  reader.Feed(wire.data() + used, 4, sink);
  EXPECT_EQ(body, "body");
  EXPECT_EQ(reader.phase(), Phase::kDone);
}

TEST(HttpResponseReader, WhereTheBodyEnds) {
  // Up to the connection's end when nothing announces a length.
  Outcome toClose = Read("HTTP/1.0 200 OK\r\n\r\nall of it", 3, true);
  EXPECT_EQ(toClose.phase, Phase::kDone);
  EXPECT_EQ(toClose.body, "all of it");
  // A cut before the announced end is no complete response.
  Outcome cut = Read("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", 64, true);
  EXPECT_EQ(cut.phase, Phase::kBad);
  EXPECT_EQ(cut.body, "short");
  Outcome cutChunk = Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", 64, true);
  EXPECT_EQ(cutChunk.phase, Phase::kBad);
  // No body at all, whatever follows.
  for (const char* wire : {"HTTP/1.1 204 No Content\r\n\r\n", "HTTP/1.1 304 Not Modified\r\nContent-Length: 99\r\n\r\n",
                           "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}) {
    Outcome none = Read(wire, 5);
    EXPECT_EQ(none.phase, Phase::kDone) << wire;
    EXPECT_EQ(none.body, "") << wire;
  }
  // An interim answer is passed over for the real one.
  Outcome interim = Read("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 1\r\n\r\nx", 4);
  EXPECT_EQ(interim.status, 404);
  EXPECT_EQ(interim.body, "x");
}

TEST(HttpResponseReader, MalformedOrOversizedResponsesAreRefused) {
  const char* bad[] = {
      "HTTP/2 200 OK\r\n\r\n",
      "HTTP/1.1 20 OK\r\n\r\n",
      "HTTP/1.1 2000 OK\r\n\r\n",
      "ICY 200 OK\r\n\r\n",
      "HTTP/1.1 200 OK\r\n folded: line\r\n\r\n",
      "HTTP/1.1 200 OK\r\nno colon here\r\n\r\n",
      "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n",
      "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!",
      "HTTP/1.1 200 OK\r\nContent-Length: 5, 6\r\n\r\nhello!",
      "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
      "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000000000000000\r\n",
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n0\r\n\r\n",
  };
  std::vector<std::string> wires(std::begin(bad), std::end(bad));
  wires.push_back(std::string("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n", 27));
  for (const std::string& wire : wires) {
    Outcome out = Read(wire, 3);
    EXPECT_EQ(out.phase, Phase::kBad) << wire;
    EXPECT_FALSE(out.problem.empty()) << wire;
  }

  // A head that never ends is refused at its bound, not held without end.
  std::string endless = "HTTP/1.1 200 OK\r\nX: " + std::string(HttpResponseReader::kMaxHeadBytes, 'a');
  Outcome big = Read(endless, 4096);
  EXPECT_EQ(big.phase, Phase::kBad);
  EXPECT_LE(big.used, HttpResponseReader::kMaxHeadBytes);
  std::string longChunkLine = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" +
                              std::string(HttpResponseReader::kMaxLineBytes * 4, 'e');
  EXPECT_EQ(Read(longChunkLine, 100).phase, Phase::kBad);
}

TEST(HttpResponseReader, ASinkThatSaysNoStopsTheBody) {
  HttpResponseReader reader;
  std::string wire = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabcdef";
  size_t head = reader.Feed(wire.data(), wire.size(), nullptr);
  size_t calls = 0;
  reader.Feed(wire.data() + head, wire.size() - head, [&](const char*, size_t) {
    ++calls;
    return false;
  });
  EXPECT_EQ(calls, 1u);
  EXPECT_EQ(reader.phase(), Phase::kStopped);
  EXPECT_EQ(reader.Feed("more", 4, nullptr), 0u);
}

TEST(BuildGetRequest, HeadersThatWouldAddLinesAreRefused) {
  HttpUrl url;
  url.secure = true;
  url.host = "cdn.example";
  url.port = 443;
  url.path = "/pkg/game.zip?v=1";
  std::string request;
  ASSERT_TRUE(BuildGetRequest(url, {{"Range", "bytes=10-"}, {"If-Range", "\"e1\""}}, "agent", request));
  EXPECT_EQ(request,
            "GET /pkg/game.zip?v=1 HTTP/1.1\r\nHost: cdn.example\r\nUser-Agent: agent\r\n"
            "Range: bytes=10-\r\nIf-Range: \"e1\"\r\nConnection: close\r\n\r\n");

  // An ETag kept from an earlier run could carry anything.
  for (const HeaderList& evil : {HeaderList{{"If-Range", "\"e\"\r\nX-Injected: 1"}},
                                 HeaderList{{"If-Range", std::string("a\0b", 3)}},
                                 HeaderList{{"If-Range", "a\nb"}},
                                 HeaderList{{"Bad Name", "v"}}, HeaderList{{"X:Y", "v"}},
                                 HeaderList{{"", "v"}}}) {
    request = "kept?";
    EXPECT_FALSE(BuildGetRequest(url, evil, "agent", request)) << evil[0].first;
    EXPECT_EQ(request, "");
  }
  url.host = "evil.example\r\nX: 1";
  EXPECT_FALSE(BuildGetRequest(url, {}, "agent", request));
}

TEST(BuildGetRequest, ThePathStaysOneTokenAndOtherPortsAreNamed) {
  HttpUrl url;
  url.secure = true;
  url.host = "localhost";
  url.port = 8443;
  url.path = "/dir name/\xc3\xa9t\xc3\xa9\r\n HTTP/1.1\tx";
  std::string request;
  ASSERT_TRUE(BuildGetRequest(url, {}, "agent", request));
  EXPECT_EQ(request.substr(0, request.find("\r\n")),
            "GET /dir%20name/%C3%A9t%C3%A9%0D%0A%20HTTP/1.1%09x HTTP/1.1");
  EXPECT_NE(request.find("\r\nHost: localhost:8443\r\n"), std::string::npos);
}
