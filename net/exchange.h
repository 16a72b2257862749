#pragma once
// One HTTP exchange whose blocking calls run on a thread of their own (the
// producer), for the download job's thread (the consumer). The producer hands
// the response's head to the job's callbacks, then the body in one of two
// ways:
//  - DeliverBody: straight to the job's callbacks on the producer's thread,
//    under a lock, for data that lives in the library's own buffer (nothing
//    is copied);
//  - QueueBody: a buffer the producer filled itself goes to the job's thread,
//    which writes it while the producer reads the next (two buffers
//    alternate, so nothing is copied or allocated per block either).
// The job's thread otherwise only waits, and on a stop walks away at once:
// from then on the producer's hand-overs are refused and it ends on its own,
// after its current call returns (the read time-out at the latest). The last
// owner frees the record. Free of windows.h.
#include <condition_variable>
#include <deque>
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
  // Hands a block of the body over on this thread; false when the job wants no more.
  bool DeliverBody(const char* data, size_t size);
  // Queues `size` bytes of `block` (of kQueuedBlockSize) for the job's
  // thread, waiting while another block is still pending, and returns an
  // empty buffer for the next; null when the job wants no more.
  static constexpr size_t kQueuedBlockSize = 256 * 1024;
  std::unique_ptr<char[]> QueueBody(std::unique_ptr<char[]> block, size_t size);
  // Nothing more will come: the whole body (`failure` kNone), or why not.
  void End(TransportFailure failure, std::string detail = std::string(),
           unsigned long systemCode = 0);

  // Consumer side: writes queued blocks, waits for the end, or walks away
  // once `keepGoing` says stop, and returns the outcome.
  TransportResult Consume(const TransportCallbacks& callbacks);

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
  };
  void Refuse();  // with the lock held
  bool Wanted() const { return callbacks_ && !refused_ && !redirect_; }
  // The body's bytes so far, against an announced length; false to stop.
  bool Count(const TransportCallbacks& callbacks, size_t size);

  std::mutex lock_;
  std::condition_variable changed_;
  const TransportCallbacks* callbacks_;  // null once the job walked away or had the end
  bool sent_ = false;
  bool headSeen_ = false;
  bool redirect_ = false;
  bool refused_ = false;  // a callback of the job said stop
  bool lengthKnown_ = false;
  uint64_t length_ = 0;
  uint64_t current_ = 0;
  std::deque<Block> queued_;
  std::unique_ptr<char[]> spare_;  // a written block's buffer, for the producer to fill again
  bool done_ = false;
  TransportResult end_;  // as the producer ended it
};

// Runs `produce` on a detached thread of its own with a new exchange and
// consumes it on the calling thread. A thread that cannot be started is a
// connection failure.
TransportResult RunExchange(const std::function<void(std::shared_ptr<Exchange>)>& produce,
                            const TransportCallbacks& callbacks, const std::string& host);
