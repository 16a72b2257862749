#pragma once
// A value worked out on a thread of its own while the caller goes on with
// something else, and taken once it is needed: start-up work that would
// otherwise wait its turn on the window's thread.
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace base {

template <class T>
class BackgroundValue {
 public:
  BackgroundValue() = default;
  // A process that ends before taking the value still waits for the thread.
  ~BackgroundValue() {
    if (worker_.joinable()) worker_.join();
  }
  BackgroundValue(const BackgroundValue&) = delete;
  BackgroundValue& operator=(const BackgroundValue&) = delete;

  // Starts `make` on a thread of its own; only the first call does. When no
  // thread can be started, Take works the value out itself.
  void Start(std::function<T()> make) {
    std::lock_guard<std::mutex> hold(lock_);
    if (started_) return;
    started_ = true;
    try {
      worker_ = std::thread([this, make = std::move(make)] {
        T made = make();
        std::lock_guard<std::mutex> done(lock_);
        value_ = std::move(made);
        ready_ = true;
      });
    } catch (const std::exception&) {
    }
  }

  // The value Start worked out, once its thread is done; `makeHere` when
  // none was started or it is already taken.
  T Take(const std::function<T()>& makeHere) {
    std::thread worker;
    {
      std::lock_guard<std::mutex> hold(lock_);
      worker = std::move(worker_);
    }
    if (worker.joinable()) worker.join();
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (ready_) {
        ready_ = false;
        return std::move(value_);
      }
    }
    return makeHere();
  }

 private:
  std::mutex lock_;
  std::thread worker_;
  bool started_ = false;
  bool ready_ = false;
  T value_{};
};

}  // namespace base
