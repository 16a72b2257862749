#pragma once
// Small requests started before the state that needs their answer, so that
// the requests of a start run side by side instead of one after another.
// The state later takes the request over, finished or still running, and
// handles its outcome exactly as if it had started it itself.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/download_task.h"

class Prefetches {
 public:
  Prefetches() = default;
  ~Prefetches();  // stops the requests nobody took and waits for them
  Prefetches(const Prefetches&) = delete;
  Prefetches& operator=(const Prefetches&) = delete;

  // Starts `url` into memory (retried like any in-memory request, at most
  // `bodyLimit` bytes) under `key`; `onFinished` runs on the request's
  // thread when it ends.
  void Start(const std::string& key, const std::string& agent, const std::string& url,
             size_t bodyLimit, std::function<void()> onFinished);
  // Hands over the request started under `key`: its task and its job, to
  // be stopped with the caller's other jobs. False when there is none.
  bool Take(const std::string& key, std::unique_ptr<DownloadTask>& task, DownloadJobList& jobs);
  // Stops and frees every request nobody took.
  void Clear();

 private:
  struct Entry {
    std::string key;
    std::unique_ptr<DownloadTask> task;
    DownloadJobList jobs;
  };
  std::vector<Entry> entries_;
};
