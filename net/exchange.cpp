#include "net/exchange.h"

#include <chrono>
#include <exception>
#include <thread>

#include "base/log.h"

namespace {

// How often the waiting job looks at its stop flag.
constexpr auto kStopCheckInterval = std::chrono::milliseconds(20);

}  // namespace

bool Exchange::Abandoned() {
  std::lock_guard<std::mutex> hold(lock_);
  return callbacks_ == nullptr;
}

void Exchange::MarkSent() {
  std::lock_guard<std::mutex> hold(lock_);
  sent_ = true;
}

bool Exchange::Sent() {
  std::lock_guard<std::mutex> hold(lock_);
  return sent_;
}

void Exchange::Refuse() {
  refused_ = true;
  changed_.notify_all();  // neither side need wait for the other any more
}

bool Exchange::DeliverHead(int status, const HeaderList& headers) {
  std::lock_guard<std::mutex> hold(lock_);
  sent_ = true;
  headSeen_ = true;
  end_.status = status;
  if (!Wanted()) return false;
  TransportResponse response;
  response.status = status;
  response.headers = headers;
  if (IsRedirectStatus(status) && !response.Header("Location").empty()) {
    redirect_ = true;
    end_.location = response.Header("Location");
    changed_.notify_all();  // the answer is complete
    return false;
  }
  lengthKnown_ = ParseContentLength(response.Header("Content-Length"), length_);
  if (!callbacks_->onResponse(response)) Refuse();
  return !refused_;
}

bool Exchange::Count(const TransportCallbacks& callbacks, size_t size) {
  current_ += size;
  return !lengthKnown_ || callbacks.onProgress(current_, length_);
}

bool Exchange::DeliverBody(const char* data, size_t size) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!Wanted()) return false;
  if ((size > 0 && !callbacks_->onData(data, size)) || !Count(*callbacks_, size)) Refuse();
  return !refused_;
}

std::unique_ptr<char[]> Exchange::QueueBody(std::unique_ptr<char[]> block, size_t size) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [&] { return !Wanted() || queued_.empty(); });
  if (!Wanted()) return nullptr;
  queued_.push_back({std::move(block), size});
  changed_.notify_all();
  if (spare_) return std::move(spare_);
  return std::unique_ptr<char[]>(new char[kQueuedBlockSize]);
}

void Exchange::End(TransportFailure failure, std::string detail, unsigned long systemCode) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (done_) return;
    done_ = true;
    end_.failure = failure;
    end_.detail = std::move(detail);
    end_.systemCode = systemCode;
  }
  changed_.notify_all();
}

TransportResult Exchange::Consume(const TransportCallbacks& callbacks) {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    if (redirect_ || refused_) break;
    if (!queued_.empty()) {
      // Written on this thread while the producer reads the next block.
      Block block = std::move(queued_.front());
      queued_.pop_front();
      changed_.notify_all();
      hold.unlock();
      bool more = (block.size == 0 || callbacks.onData(block.bytes.get(), block.size));
      hold.lock();
      if (!more || !Count(callbacks, block.size)) Refuse();
      if (!spare_) spare_ = std::move(block.bytes);
      continue;
    }
    if (done_) break;
    changed_.wait_for(hold, kStopCheckInterval);
    if (!done_ && !redirect_ && !refused_ && queued_.empty() && !callbacks.keepGoing()) {
      // Walks away: the producer's next hand-over is refused.
      callbacks_ = nullptr;
      changed_.notify_all();
      TransportResult stopped;
      stopped.status = end_.status;
      stopped.failure = TransportFailure::kStopped;
      return stopped;
    }
  }
  callbacks_ = nullptr;
  changed_.notify_all();
  TransportResult result;
  result.status = end_.status;
  result.location = end_.location;
  if (redirect_) return result;  // the location is the answer
  if (refused_) {
    result.failure = TransportFailure::kStopped;
    return result;
  }
  result.failure = end_.failure;
  result.detail = end_.detail;
  result.systemCode = end_.systemCode;
  // The connection closed before the announced length: a broken transfer.
  if (result.failure == TransportFailure::kNone && (!headSeen_ || (lengthKnown_ && current_ < length_)))
    result.failure = TransportFailure::kBroken;
  return result;
}

TransportResult RunExchange(const std::function<void(std::shared_ptr<Exchange>)>& produce,
                            const TransportCallbacks& callbacks, const std::string& host) {
  auto exchange = std::make_shared<Exchange>(&callbacks);
  try {
    std::thread(produce, exchange).detach();
  } catch (const std::exception& e) {
    Log("start exchange thread failed: %s, host: %s", e.what(), host.c_str());
    TransportResult result;
    result.failure = TransportFailure::kConnection;
    return result;
  }
  return exchange->Consume(callbacks);
}
