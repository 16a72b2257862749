#pragma once
// One HTTP exchange whose blocking calls run on a thread of their own (the
// producer), for the download job's thread (the consumer). The producer
// hands the response's head and each block of its body straight to the job's
// callbacks, under a lock, so no byte is copied on the way; the job's thread
// meanwhile only waits, and on a stop walks away at once: it takes the lock
// (waiting at most for the callback under way), and from then on the
// producer's hand-overs are refused and it ends on its own, after its
// current call returns (the read time-out at the latest). The last owner
// frees the record. Free of windows.h.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/transport.h"

class Exchange {
 public:
  // `callbacks` are the job's; they live until Consume returns.
  explicit Exchange(const TransportCallbacks* callbacks) : callbacks_(callbacks) {}

  // Producer side.
  bool Abandoned();
  // The request went out: a later time-out is a silent server.
  void MarkSent();
  bool Sent();
  // Hands the status and headers over. False when the body is not wanted:
  // the job refused the response or walked away, or it is a redirect (whose
  // "Location" goes back to the caller, its body unread).
  bool DeliverHead(int status, const HeaderList& headers);
  // Hands a block of the body over; false when the job wants no more.
  bool DeliverBody(const char* data, size_t size);
  // Nothing more will come: the whole body (`failure` kNone), or why not.
  void End(TransportFailure failure, std::string detail = std::string(),
           unsigned long systemCode = 0);

  // Consumer side: waits for the end, or walks away once `keepGoing` says
  // stop, and returns the outcome.
  TransportResult Consume(const TransportCallbacks& callbacks);

 private:
  void Refuse();  // with the lock held

  std::mutex lock_;
  std::condition_variable ended_;
  const TransportCallbacks* callbacks_;  // null once the job walked away or had the end
  bool sent_ = false;
  bool headSeen_ = false;
  bool redirect_ = false;
  bool refused_ = false;  // a callback of the job said stop
  bool lengthKnown_ = false;
  uint64_t length_ = 0;
  uint64_t current_ = 0;
  bool done_ = false;
  TransportResult result_;
};

// Runs `produce` on a detached thread of its own with a new exchange and
// consumes it on the calling thread. A thread that cannot be started is a
// connection failure.
TransportResult RunExchange(const std::function<void(std::shared_ptr<Exchange>)>& produce,
                            const TransportCallbacks& callbacks, const std::string& host);
