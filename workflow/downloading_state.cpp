#include "workflow/downloading_state.h"

#include <memory>

#include "ui/loading_page.h"

DownloadingState::DownloadingState(LauncherContext* context, PageWhileRunning page)
    : State(context), page(page) {}

DownloadingState::~DownloadingState() { StopAll(jobs); }

void DownloadingState::Update() {
  if (!started) {
    started = true;
    // The first state that downloads makes the one task every later state reuses.
    if (!context->download) context->download = std::make_unique<DownloadTask>();
    DownloadTask& task = *context->download;
    task.Reset();
    Begin(task);
    return;
  }
  DownloadTask& task = *context->download;
  if (!task.finished) {
    if (!context->page) return;
    if (page == PageWhileRunning::kProgress)
      context->page->SetProgress(task.received, task.total);
    else if (page == PageWhileRunning::kRedraw)
      context->page->Redraw();
    return;
  }
  if (task.error.empty())
    Succeeded(task);
  else
    Failed(task);
}

void DownloadingState::Fetch(const char* agent, const std::string& url, DownloadTask& task) {
  StartDownload(jobs, agent, url, &task);
}
