#pragma once
// Faults that tests ask the server to inject, per request path. Each path has
// a queue: a request takes the fault at its head, which then counts down and
// leaves the queue once used up ("times"), or stays until a reset (times 0).
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <deque>

struct Fault {
  int status = 0;            // answer with this status instead of the file
  int delayMs = 0;           // wait before answering
  int64_t dropAfter = -1;    // close the connection after this many body bytes
  bool ignoreRange = false;  // answer a "Range" request with 200 and the whole body
  bool noValidators = false; // send neither ETag nor Last-Modified
  int64_t shiftRange = 0;    // answer a single range moved this many bytes later
  std::string redirect;      // answer 302 with this Location
  int64_t rate = 0;          // body bytes per second (0: full speed)
  int64_t stallAfter = -1;   // go silent after this many body bytes, then close
  bool endless = false;      // a chunked body that repeats the file until the client hangs up
  int times = 1;             // uses left; 0 = until reset

  // "status=404,times=1" etc., for logs and replies.
  std::string Describe() const;
};

constexpr int kMaxFaultDelayMs = 60000;
// How long a stalled body stays silent before the server closes the connection.
constexpr int kStallMs = 7000;
constexpr int kMaxFaultTimes = 1000;
// An endless body still ends after this many bytes, should no client hang up.
constexpr int64_t kEndlessBodyBytes = int64_t(1) << 30;

// Reads a fault from control parameters; false with a message on bad input.
bool ParseFault(const std::map<std::string, std::string>& params, Fault& fault, std::string& error);

class FaultTable {
 public:
  void Add(const std::string& path, const Fault& fault);
  // The fault for one request on `path`, if any (counted as used).
  bool Take(const std::string& path, Fault& fault);
  void Reset();
  std::string List() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::deque<Fault>> faults_;
};
