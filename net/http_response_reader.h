#pragma once
// Reads an HTTP/1.1 response as its bytes arrive: the status line and
// headers, then the body by its length, in chunks, or up to the end of the
// connection. Everything it reads comes from the network, so every length
// and line is checked and bounded. Free of windows.h.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "net/transport.h"

// A Content-Length value: a plain decimal number below 10^18. False for
// anything else (signs, spaces, lists, an empty text).
bool ParseContentLength(const std::string& text, uint64_t& length);

class HttpResponseReader {
 public:
  enum class Phase {
    kHead,     // status line and headers still coming
    kBody,     // the head is read; body bytes follow
    kDone,     // the whole response is read
    kBad,      // the response broke the protocol; `Problem()` says how
    kStopped,  // the body sink asked to stop
  };
  // Takes each piece of the body; false stops the reading.
  using BodySink = std::function<bool(const char* data, size_t size)>;

  // Reads from `data`; returns how many bytes it used. It stops right after
  // the head, so the caller can look at it before any body byte goes to
  // `sink`, and after the end of the response (bytes beyond it are not part
  // of it).
  size_t Feed(const char* data, size_t size, const BodySink& sink);
  // The connection ended. A body that runs to the end of the connection is
  // then complete; any other unfinished response is not (false).
  bool EndOfStream();

  Phase phase() const { return phase_; }
  const TransportResponse& Head() const { return head_; }
  // The announced body length, when the response has one (not chunked).
  bool LengthKnown() const { return mode_ == BodyMode::kLength; }
  uint64_t Length() const { return length_; }
  uint64_t BodyBytes() const { return bodyBytes_; }
  const std::string& Problem() const { return problem_; }

  // Bounds on what a server can make this reader hold.
  static constexpr size_t kMaxHeadBytes = 64 * 1024;
  static constexpr size_t kMaxLineBytes = 1024;  // chunk size and trailer lines

 private:
  enum class BodyMode { kNone, kLength, kChunked, kToClose };
  enum class ChunkStep { kSize, kData, kDataEnd, kTrailer };

  size_t FeedHead(const char* data, size_t size);
  bool ParseHead();
  bool ChooseBodyMode();
  size_t FeedChunked(const char* data, size_t size, const BodySink& sink);
  bool Fail(const std::string& problem);
  bool Deliver(const char* data, size_t size, const BodySink& sink);

  Phase phase_ = Phase::kHead;
  BodyMode mode_ = BodyMode::kNone;
  ChunkStep chunk_ = ChunkStep::kSize;
  std::string pending_;  // the head so far, or a chunk line so far
  TransportResponse head_;
  uint64_t length_ = 0;
  uint64_t remaining_ = 0;  // of the announced length, or of the current chunk
  size_t lineBytes_ = 0;    // of the trailer so far
  uint64_t bodyBytes_ = 0;
  std::string problem_;
};
