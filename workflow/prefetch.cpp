#include "workflow/prefetch.h"

#include <utility>

Prefetches::~Prefetches() { Clear(); }

void Prefetches::Start(const std::string& key, const std::string& agent, const std::string& url,
                       size_t bodyLimit, std::function<void()> onFinished) {
  Entry entry;
  entry.key = key;
  entry.task = std::make_unique<DownloadTask>();
  entry.task->retryInMemory = true;
  entry.task->bodyLimit = bodyLimit;
  StartDownload(entry.jobs, agent, url, entry.task.get(), std::move(onFinished));
  entries_.push_back(std::move(entry));
}

bool Prefetches::Take(const std::string& key, std::unique_ptr<DownloadTask>& task,
                      DownloadJobList& jobs) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->key != key) continue;
    task = std::move(it->task);
    for (auto& job : it->jobs) jobs.push_back(std::move(job));
    entries_.erase(it);
    return true;
  }
  return false;
}

void Prefetches::Clear() {
  // Each entry's jobs write into its task: jobs end before tasks go.
  for (Entry& entry : entries_) StopAll(entry.jobs);
  entries_.clear();
}
