#include "unpack/read_window_cache.h"

#include <algorithm>
#include <cstring>

ReadWindowCache::ReadWindowCache(Source source, size_t windowSize, size_t windowCount)
    : source_(std::move(source)), windowSize_(std::max<size_t>(1, windowSize)),
      windows_(std::max<size_t>(1, windowCount)) {}

ReadWindowCache::Window* ReadWindowCache::Find(uint64_t offset) {
  for (Window& w : windows_)
    if (w.length > 0 && offset >= w.start && offset - w.start < w.length) return &w;
  return nullptr;
}

ReadWindowCache::Window* ReadWindowCache::Refill(uint64_t offset, bool* failed) {
  Window* oldest = &windows_[0];
  for (Window& w : windows_)
    if (w.lastUse < oldest->lastUse) oldest = &w;
  // Memory only for windows that are used: a small archive needs one.
  if (oldest->data.size() != windowSize_) oldest->data.resize(windowSize_);
  ++sourceReads_;
  int64_t got = source_(offset, oldest->data.data(), windowSize_);
  oldest->start = offset;
  oldest->length = got > 0 ? static_cast<size_t>(got) : 0;
  *failed = got < 0;
  return oldest->length > 0 ? oldest : nullptr;
}

int64_t ReadWindowCache::Read(uint64_t offset, void* buffer, size_t size) {
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    uint64_t position = offset + done;
    size_t wanted = size - done;
    Window* w = Find(position);
    if (!w && wanted >= windowSize_) {
      ++sourceReads_;
      int64_t got = source_(position, out + done, wanted);
      if (got < 0) return done > 0 ? static_cast<int64_t>(done) : -1;
      done += static_cast<size_t>(got);
      break;  // a short answer is the end of the file
    }
    if (!w) {
      bool failed = false;
      w = Refill(position, &failed);
      if (failed) return done > 0 ? static_cast<int64_t>(done) : -1;
      if (!w) break;  // end of the file
    }
    size_t offsetInWindow = static_cast<size_t>(position - w->start);
    size_t take = std::min(wanted, w->length - offsetInWindow);
    std::memcpy(out + done, w->data.data() + offsetInWindow, take);
    w->lastUse = ++clock_;
    done += take;
  }
  return static_cast<int64_t>(done);
}
