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

bool Exchange::DeliverHead(int status, const HeaderList& headers) {
  std::lock_guard<std::mutex> hold(lock_);
  sent_ = true;
  headSeen_ = true;
  result_.status = status;
  if (!callbacks_ || refused_) return false;
  TransportResponse response;
  response.status = status;
  response.headers = headers;
  if (IsRedirectStatus(status) && !response.Header("Location").empty()) {
    redirect_ = true;
    result_.location = response.Header("Location");
    ended_.notify_all();  // the answer is complete
    return false;
  }
  lengthKnown_ = ParseContentLength(response.Header("Content-Length"), length_);
  if (!callbacks_->onResponse(response)) Refuse();
  return !refused_;
}

void Exchange::Refuse() {
  refused_ = true;
  ended_.notify_all();  // the job need not wait for the producer's end
}

bool Exchange::DeliverBody(const char* data, size_t size) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!callbacks_ || refused_ || redirect_) return false;
  if (size > 0 && !callbacks_->onData(data, size)) Refuse();
  current_ += size;
  if (!refused_ && lengthKnown_ && !callbacks_->onProgress(current_, length_)) Refuse();
  return !refused_;
}

void Exchange::End(TransportFailure failure, std::string detail, unsigned long systemCode) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (done_) return;
    done_ = true;
    if (redirect_) {
      failure = TransportFailure::kNone;  // the location is the answer
    } else if (refused_) {
      failure = TransportFailure::kStopped;
    } else if (failure == TransportFailure::kNone &&
               (!headSeen_ || (lengthKnown_ && current_ < length_))) {
      // The connection closed before the announced length: a broken transfer.
      failure = TransportFailure::kBroken;
    }
    result_.failure = failure;
    if (failure != TransportFailure::kNone) {
      result_.detail = std::move(detail);
      result_.systemCode = systemCode;
    }
  }
  ended_.notify_all();
}

TransportResult Exchange::Consume(const TransportCallbacks& callbacks) {
  std::unique_lock<std::mutex> hold(lock_);
  while (!done_ && !redirect_ && !refused_) {
    ended_.wait_for(hold, kStopCheckInterval);
    if (!done_ && !redirect_ && !refused_ && !callbacks.keepGoing()) {
      // Walks away: the producer's next hand-over is refused.
      callbacks_ = nullptr;
      TransportResult stopped;
      stopped.status = result_.status;
      stopped.failure = TransportFailure::kStopped;
      return stopped;
    }
  }
  callbacks_ = nullptr;
  if (done_) return result_;
  // Answered before the producer's end: a redirect, or a refusal.
  TransportResult answer;
  answer.status = result_.status;
  answer.location = result_.location;
  answer.failure = redirect_ ? TransportFailure::kNone : TransportFailure::kStopped;
  return answer;
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
