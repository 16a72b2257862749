#include "net/download_task.h"

#include <cstdlib>
#include <cstring>

// Placeholder until the request thread lands: every request fails at once.
DownloadTask::DownloadTask() : body(static_cast<char*>(std::malloc(4096))), bodyCapacity(4096) {}
DownloadTask::~DownloadTask() { std::free(body); }
void DownloadTask::Reset() {
  finished = 0;
  received = 0;
  total = 1;
  bodySize = 0;
  localPath.clear();
  error.clear();
  errorCode = 0;
}
void DownloadTask::AppendBody(const char*, size_t) {}
std::string DownloadTask::BodyText() {
  body[bodySize] = 0;
  return std::string(body);
}
void StartDownload(DownloadJobList&, const std::string&, const std::string& url, DownloadTask* task) {
  task->error = "not implemented: " + url;
  task->finished = 1;
}
void StopAll(DownloadJobList& jobs) { jobs.clear(); }
