#pragma once
// Base of the states that make one request into the context's download task.
#include <string>

#include "net/download_task.h"
#include "workflow/state.h"
#include "workflow/transfer_status.h"

class DownloadingState : public State {
 public:
  ~DownloadingState() override;  // stops the request and waits for its thread

  // First tick: Begin. Later ticks: progress until the task finishes, then
  // Succeeded or Failed, exactly once.
  Transition Update() final;

 protected:
  // What the page shows while the request runs.
  enum class PageWhileRunning { kRedraw, kProgress, kNothing };

  DownloadingState(LauncherContext* context, PageWhileRunning page);

  // Sets the status text and calls Fetch (or finishes the task itself) and
  // stays, or moves on at once.
  virtual Transition Begin(DownloadTask& task) = 0;
  // The task finished without an error / with one. Both move on.
  virtual Transition Succeeded(DownloadTask& task) = 0;
  virtual Transition Failed(DownloadTask& task) = 0;

  // Starts `url` into the task, into memory or into `task.localPath`. An
  // in-memory request is retried on connection failures and holds at most
  // `bodyLimit` bytes.
  void Fetch(const char* agent, const std::string& url, DownloadTask& task,
             size_t bodyLimit = body_limit::kText);
  // Takes over the request started ahead under `key` (see Prefetches): it
  // becomes the context's task, and `task` of Begin is gone. False, and
  // nothing changed, when there is none.
  bool TakePrefetched(const std::string& key);

  // Sets the page's status text. While the request runs, a retry notice
  // follows it, and with the progress bar also the transfer's figures.
  void ShowStatus(const std::wstring& text);

  // Called on every tick while the request runs, before the page is fed.
  // Anything but Stay ends the state there.
  virtual Transition Watch(DownloadTask&) { return Transition::Stay(); }

 private:
  void UpdateStatusLine(DownloadTask& task);

  bool started = false;
  PageWhileRunning page;
  DownloadJobList jobs;
  bool ownStatus = false;   // ShowStatus was called: the line is ours to extend
  std::wstring statusText;  // the state's own text
  std::wstring shownLine;   // what the page shows now
  bool lineOnPage = false;  // false while the state began before the page existed
  uint64_t shownAtMs = 0;
  bool showingFigures = false;
  int64_t lastReceived = 0;
  SpeedMeter meter;
};
