#include "net/http_response_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// A header name is a token: visible characters without separators.
bool IsToken(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c <= 32 || c >= 127 || std::strchr("\"(),/:;<=>?@[\\]{}", c)) return false;
  }
  return true;
}

// The chunk size at the start of a chunk line; extensions after ';' are ignored.
bool ParseChunkSize(const std::string& line, uint64_t& size) {
  size = 0;
  size_t digits = 0;
  size_t i = 0;
  for (; i < line.size(); ++i) {
    char c = line[i];
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else break;
    if (++digits > 15) return false;  // beyond what any file can be
    size = size * 16 + static_cast<uint64_t>(v);
  }
  if (digits == 0) return false;
  while (i < line.size() && IsSpace(line[i])) ++i;
  return i == line.size() || line[i] == ';';
}

// Splits off one line ending in "\n" from `data` into `line` (without the
// line end); returns the bytes used, or `size` when the line goes on.
size_t TakeLine(const char* data, size_t size, std::string& line, bool& complete) {
  const char* end = static_cast<const char*>(std::memchr(data, '\n', size));
  size_t used = end ? static_cast<size_t>(end - data) + 1 : size;
  line.append(data, end ? used - 1 : used);
  complete = end != nullptr;
  if (complete && !line.empty() && line.back() == '\r') line.pop_back();
  return used;
}

}  // namespace

bool ParseContentLength(const std::string& text, uint64_t& length) {
  if (text.empty() || text.size() > 18) return false;
  length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    length = length * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

bool HttpResponseReader::Fail(const std::string& problem) {
  phase_ = Phase::kBad;
  problem_ = problem;
  return false;
}

bool HttpResponseReader::Deliver(const char* data, size_t size, const BodySink& sink) {
  bodyBytes_ += size;
  if (size > 0 && !sink(data, size)) {
    phase_ = Phase::kStopped;
    return false;
  }
  return true;
}

size_t HttpResponseReader::Feed(const char* data, size_t size, const BodySink& sink) {
  size_t used = 0;
  if (phase_ == Phase::kHead) {
    used = FeedHead(data, size);
    return used;  // the caller looks at the head before the body flows
  }
  if (phase_ != Phase::kBody) return 0;
  switch (mode_) {
    case BodyMode::kLength: {
      size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, size));
      remaining_ -= take;
      if (!Deliver(data, take, sink)) return take;
      if (remaining_ == 0) phase_ = Phase::kDone;
      return take;
    }
    case BodyMode::kToClose:
      Deliver(data, size, sink);
      return size;
    case BodyMode::kChunked:
      return FeedChunked(data, size, sink);
    case BodyMode::kNone:
      phase_ = Phase::kDone;
      return 0;
  }
  return used;
}

size_t HttpResponseReader::FeedHead(const char* data, size_t size) {
  size_t before = pending_.size();
  size_t room = kMaxHeadBytes - before;
  pending_.append(data, std::min(size, room));
  // The head ends with an empty line; a bare "\n" line end is taken too.
  size_t from = before > 3 ? before - 3 : 0;
  size_t end = std::string::npos;
  for (size_t i = from; i < pending_.size(); ++i) {
    if (pending_[i] != '\n') continue;
    if (i >= 1 && pending_[i - 1] == '\n') { end = i + 1; break; }
    if (i >= 2 && pending_[i - 1] == '\r' && pending_[i - 2] == '\n') { end = i + 1; break; }
  }
  if (end == std::string::npos) {
    if (pending_.size() >= kMaxHeadBytes) Fail("response head longer than 64 KiB");
    return std::min(size, room);
  }
  size_t used = end - before;
  pending_.resize(end);
  if (!ParseHead()) return used;
  pending_.clear();
  int status = head_.status;
  if (status >= 100 && status < 200 && status != 101) {
    head_ = TransportResponse();  // an interim answer: the real one follows
    return used;
  }
  if (ChooseBodyMode()) phase_ = mode_ == BodyMode::kNone ? Phase::kDone : Phase::kBody;
  return used;
}

bool HttpResponseReader::ParseHead() {
  if (pending_.find('\0') != std::string::npos) return Fail("NUL in the response head");
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < pending_.size()) {
    size_t nl = pending_.find('\n', start);
    std::string line = pending_.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = nl + 1;
    if (line.empty()) break;
    lines.push_back(line);
  }
  if (lines.empty()) return Fail("empty response head");
  const std::string& first = lines[0];
  // "HTTP/1.x 200 reason"
  if (first.size() < 12 || first.compare(0, 7, "HTTP/1.") != 0 || first[7] < '0' ||
      first[7] > '9' || first[8] != ' ' || (first.size() > 12 && first[12] != ' '))
    return Fail("bad status line");
  int status = 0;
  for (size_t i = 9; i < 12; ++i) {
    if (first[i] < '0' || first[i] > '9') return Fail("bad status line");
    status = status * 10 + (first[i] - '0');
  }
  if (status < 100) return Fail("bad status line");
  head_.status = status;
  head_.headers.clear();
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (IsSpace(line[0])) return Fail("folded header line");
    size_t colon = line.find(':');
    if (colon == std::string::npos || !IsToken(line.substr(0, colon)))
      return Fail("bad header line");
    head_.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
  }
  return true;
}

bool HttpResponseReader::ChooseBodyMode() {
  int status = head_.status;
  if (status == 204 || status == 304 || status == 101) {
    mode_ = BodyMode::kNone;
    return true;
  }
  bool chunked = false;
  bool lengthSeen = false;
  uint64_t length = 0;
  for (const auto& h : head_.headers) {
    std::string name = Lower(h.first);
    if (name == "transfer-encoding") {
      // Nothing but chunked is asked for or understood.
      if (Lower(h.second) != "chunked" || chunked) return Fail("unsupported transfer coding");
      chunked = true;
    } else if (name == "content-length") {
      // Repeated lengths must agree, or the body's end is anyone's guess.
      size_t start = 0;
      std::string list = h.second;
      while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        uint64_t value = 0;
        if (!ParseContentLength(Trim(list.substr(start, comma - start)), value))
          return Fail("bad Content-Length");
        if (lengthSeen && value != length) return Fail("conflicting Content-Length");
        length = value;
        lengthSeen = true;
        start = comma + 1;
      }
    }
  }
  // Each exchange has a connection of its own, closed after it: with both
  // headers the chunks mark the end, as HTTP/1.1 has it.
  if (chunked) {
    mode_ = BodyMode::kChunked;
    chunk_ = ChunkStep::kSize;
  } else if (lengthSeen) {
    mode_ = length == 0 ? BodyMode::kNone : BodyMode::kLength;
    length_ = length;
    remaining_ = length;
  } else {
    mode_ = BodyMode::kToClose;
  }
  return true;
}

size_t HttpResponseReader::FeedChunked(const char* data, size_t size, const BodySink& sink) {
  size_t used = 0;
  while (used < size && phase_ == Phase::kBody) {
    const char* at = data + used;
    size_t left = size - used;
    if (chunk_ == ChunkStep::kData) {
      size_t take = static_cast<size_t>(std::min<uint64_t>(remaining_, left));
      remaining_ -= take;
      used += take;
      if (!Deliver(at, take, sink)) break;
      if (remaining_ == 0) chunk_ = ChunkStep::kDataEnd;
      continue;
    }
    bool complete = false;
    used += TakeLine(at, left, pending_, complete);
    if (pending_.size() > kMaxLineBytes) {
      Fail("chunk line too long");
      break;
    }
    if (!complete) break;
    std::string line;
    line.swap(pending_);
    if (chunk_ == ChunkStep::kSize) {
      if (!ParseChunkSize(line, remaining_)) {
        Fail("bad chunk size");
        break;
      }
      chunk_ = remaining_ == 0 ? ChunkStep::kTrailer : ChunkStep::kData;
    } else if (chunk_ == ChunkStep::kDataEnd) {
      if (!line.empty()) {
        Fail("chunk longer than announced");
        break;
      }
      chunk_ = ChunkStep::kSize;
    } else {  // trailer fields are read past; an empty line ends the response
      lineBytes_ += line.size();
      if (lineBytes_ > kMaxHeadBytes) {
        Fail("trailer longer than 64 KiB");
        break;
      }
      if (line.empty()) phase_ = Phase::kDone;
    }
  }
  return used;
}

bool HttpResponseReader::EndOfStream() {
  if (phase_ == Phase::kBody && mode_ == BodyMode::kToClose) phase_ = Phase::kDone;
  if (phase_ == Phase::kDone) return true;
  if (phase_ == Phase::kHead || phase_ == Phase::kBody)
    Fail("connection closed before the end of the response");
  return false;
}
