#include "workflow/downloading_state.h"

#include <windows.h>

#include <memory>

#include "ui/loading_page.h"

namespace {

// The figures change at most this often, so that they can be read.
constexpr uint64_t kFiguresEveryMs = 500;

}  // namespace

DownloadingState::DownloadingState(LauncherContext* context, PageWhileRunning page)
    : State(context), page(page) {}

DownloadingState::~DownloadingState() { StopAll(jobs); }

Transition DownloadingState::Update() {
  if (!started) {
    started = true;
    // The first state that downloads makes the one task every later state reuses.
    if (!context->download) context->download = std::make_unique<DownloadTask>();
    DownloadTask& task = *context->download;
    task.Reset();
    return Begin(task);
  }
  DownloadTask& task = *context->download;
  if (!task.finished) {
    Transition watched = Watch(task);
    if (watched.kind() != Transition::Kind::kStay) return watched;
    if (!context->page) return Transition::Stay();
    UpdateStatusLine(task);
    if (page == PageWhileRunning::kProgress)
      context->page->SetProgress(task.received, task.total);
    else if (page == PageWhileRunning::kRedraw)
      context->page->Redraw();
    return Transition::Stay();
  }
  return task.error.empty() ? Succeeded(task) : Failed(task);
}

void DownloadingState::Fetch(const char* agent, const std::string& url, DownloadTask& task,
                             size_t bodyLimit) {
  task.retryInMemory = task.localPath.empty();
  task.bodyLimit = bodyLimit;
  StartDownload(jobs, agent, url, &task, context->wake);
}

bool DownloadingState::TakePrefetched(const std::string& key) {
  std::unique_ptr<DownloadTask> prefetched;
  if (!context->prefetches.Take(key, prefetched, jobs)) return false;
  context->download = std::move(prefetched);
  // Its end may have woken the window before this state took it: look
  // again at once rather than at the next tick.
  if (context->download->finished.load() && context->wake) context->wake();
  return true;
}

void DownloadingState::ShowStatus(const std::wstring& text) {
  ownStatus = true;
  statusText = shownLine = text;
  lineOnPage = context->page != nullptr;
  if (context->page) context->page->SetStatusText(text);
}

void DownloadingState::UpdateStatusLine(DownloadTask& task) {
  if (!ownStatus) return;
  uint64_t now = GetTickCount64();
  int32_t retry = task.retrying.load();
  int64_t received = task.received.load();
  std::wstring line = statusText;
  bool figures = false;
  if (retry > 0) {
    meter.Restart();
    line += RetryText(retry);
  } else if (page == PageWhileRunning::kProgress && received > 0) {
    // The first count of a resumed download is no transfer of this run.
    if (lastReceived <= 0) meter.Restart();
    meter.Add(now, received);
    figures = true;
    if (showingFigures && now - shownAtMs < kFiguresEveryMs)
      line = shownLine;  // figures that change every tick cannot be read
    else
      line += TransferFiguresText(received, task.total.load(), meter.BytesPerSecond());
  }
  lastReceived = received;
  showingFigures = figures;
  if (line == shownLine && lineOnPage) return;
  lineOnPage = true;
  shownLine = line;
  shownAtMs = now;
  context->page->SetStatusText(line);
}
