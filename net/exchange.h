#pragma once
// One HTTP exchange whose blocking calls run on a thread of their own (the
// producer), handed over to the download job's thread (the consumer) as a
// response head and then blocks of the body. The job can walk away at any
// time, on a stop, and returns at once; the producer notices at its next
// hand-over, or when its current call returns (after the read time-out at the
// latest), and ends on its own. The last owner frees the record. Free of
// windows.h.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/transport.h"

class Exchange {
 public:
  // Producer side.
  bool Abandoned();
  // The request went out: a later time-out is a silent server.
  void MarkSent();
  bool Sent();
  void PublishHead(int status, HeaderList headers);
  // Queues a block of the body, first waiting for room; false (nothing
  // queued) once the consumer walked away.
  bool PushBlock(std::vector<char> block);
  // Nothing more will come: the whole body (`failure` kNone), or why not.
  void End(TransportFailure failure, std::string detail = std::string(),
           unsigned long systemCode = 0);

  // Consumer side: waits for the head, hands the body to `callbacks` and
  // returns the outcome; redirects come back in `location` unread.
  TransportResult Consume(const TransportCallbacks& callbacks);

 private:
  TransportResult WalkAway(TransportResult result, TransportFailure failure);
  template <class Ready>
  bool WaitFor(std::unique_lock<std::mutex>& hold, const TransportCallbacks& callbacks, Ready ready);

  std::mutex lock_;
  std::condition_variable changed_;
  bool sent_ = false;
  bool headReady_ = false;
  TransportResponse head_;
  std::deque<std::vector<char>> blocks_;
  bool ended_ = false;
  TransportResult end_;
  bool abandoned_ = false;
};

// Runs `produce` on a detached thread of its own with a new exchange and
// consumes it on the calling thread. A thread that cannot be started is a
// connection failure.
TransportResult RunExchange(const std::function<void(std::shared_ptr<Exchange>)>& produce,
                            const TransportCallbacks& callbacks, const std::string& host);
