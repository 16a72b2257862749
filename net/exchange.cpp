#include "net/exchange.h"

#include <chrono>
#include <exception>
#include <thread>

#include "base/log.h"

namespace {

// Blocks queued ahead of the job: bounds memory when the disk is slower than the network.
constexpr size_t kMaxQueuedBlocks = 4;
// How often a wait looks at the job's stop flag.
constexpr auto kStopCheckInterval = std::chrono::milliseconds(20);

}  // namespace

bool Exchange::Abandoned() {
  std::lock_guard<std::mutex> hold(lock_);
  return abandoned_;
}

void Exchange::MarkSent() {
  std::lock_guard<std::mutex> hold(lock_);
  sent_ = true;
}

bool Exchange::Sent() {
  std::lock_guard<std::mutex> hold(lock_);
  return sent_;
}

void Exchange::PublishHead(int status, HeaderList headers) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    head_.status = status;
    head_.headers = std::move(headers);
    headReady_ = true;
    sent_ = true;
  }
  changed_.notify_all();
}

bool Exchange::PushBlock(std::vector<char> block) {
  {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return abandoned_ || blocks_.size() < kMaxQueuedBlocks; });
    if (abandoned_) return false;
    blocks_.push_back(std::move(block));
  }
  changed_.notify_all();
  return true;
}

void Exchange::End(TransportFailure failure, std::string detail, unsigned long systemCode) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    ended_ = true;
    end_.failure = failure;
    end_.detail = std::move(detail);
    end_.systemCode = systemCode;
  }
  changed_.notify_all();
}

TransportResult Exchange::WalkAway(TransportResult result, TransportFailure failure) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    abandoned_ = true;
  }
  changed_.notify_all();
  result.failure = failure;
  return result;
}

// Waits until `ready` holds; false when the job's stop check fired meanwhile.
template <class Ready>
bool Exchange::WaitFor(std::unique_lock<std::mutex>& hold, const TransportCallbacks& callbacks,
                       Ready ready) {
  while (!ready()) {
    changed_.wait_for(hold, kStopCheckInterval);
    if (!ready() && !callbacks.keepGoing()) return false;
  }
  return true;
}

TransportResult Exchange::Consume(const TransportCallbacks& callbacks) {
  TransportResult result;
  TransportResponse response;
  {
    std::unique_lock<std::mutex> hold(lock_);
    if (!WaitFor(hold, callbacks, [&] { return headReady_ || ended_; })) {
      hold.unlock();
      return WalkAway(result, TransportFailure::kStopped);
    }
    if (!headReady_) {
      result = end_;
      if (result.failure == TransportFailure::kNone) result.failure = TransportFailure::kBroken;
      return result;
    }
    response = head_;
  }
  result.status = response.status;
  if (IsRedirectStatus(response.status) && !response.Header("Location").empty()) {
    result.location = response.Header("Location");
    return WalkAway(result, TransportFailure::kNone);
  }
  if (!callbacks.onResponse(response)) return WalkAway(result, TransportFailure::kStopped);

  uint64_t length = 0;
  bool lengthKnown = ParseContentLength(response.Header("Content-Length"), length);
  uint64_t current = 0;
  for (;;) {
    std::vector<char> block;
    {
      std::unique_lock<std::mutex> hold(lock_);
      if (!WaitFor(hold, callbacks, [&] { return !blocks_.empty() || ended_; })) {
        hold.unlock();
        return WalkAway(result, TransportFailure::kStopped);
      }
      if (blocks_.empty()) {
        if (end_.failure != TransportFailure::kNone) {
          int status = result.status;
          result = end_;
          result.status = status;
          return result;
        }
        break;
      }
      block = std::move(blocks_.front());
      blocks_.pop_front();
    }
    changed_.notify_all();
    if (!callbacks.onData(block.data(), block.size())) return WalkAway(result, TransportFailure::kStopped);
    current += block.size();
    if (lengthKnown && !callbacks.onProgress(current, length))
      return WalkAway(result, TransportFailure::kStopped);
  }
  // The connection closed before the announced length: a broken transfer.
  if (lengthKnown && current < length) result.failure = TransportFailure::kBroken;
  return result;
}

TransportResult RunExchange(const std::function<void(std::shared_ptr<Exchange>)>& produce,
                            const TransportCallbacks& callbacks, const std::string& host) {
  auto exchange = std::make_shared<Exchange>();
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
