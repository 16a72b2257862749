#pragma once
// Runs workflow states in the test process, on a context of the test's own
// with a page that records what the states show.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "net/download_task.h"
#include "workflow/launcher_context.h"
#include "workflow/state.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "support/files.h"
#include "support/log_reader.h"
#include "support/scratch_folder.h"

namespace e2e {

// The end-to-end helpers build on the shared test support.
using namespace support;

class RecordingPage : public ILoadingPage {
 public:
  void Redraw() override { ++redraws; }
  void SetProgress(int64_t done, int64_t total) override { progress.emplace_back(done, total); }
  int GetWidth() override { return 500; }
  int GetHeight() override { return 300; }
  void SetStatusText(const std::wstring& text) override { statusTexts.push_back(text); }
  void SetLogo(Gdiplus::Image*) override {}

  std::vector<std::pair<int64_t, int64_t>> progress;
  std::vector<std::wstring> statusTexts;
  int redraws = 0;
};

// A context with its own configuration, install folder and page.
struct StateDriver {
  explicit StateDriver(const std::wstring& scratchName);
  ~StateDriver();  // frees the current state without running it, then the context the rest

  // Makes `state` current and ticks until another state has replaced it;
  // false when that does not happen within `timeoutMs`.
  bool RunUntilReplaced(State* state, DWORD timeoutMs);
  void Tick();

  std::wstring scratch;  // a fresh folder, without trailing backslash
  InstallConfig config;
  RecordingPage& page;  // owned by the context
  QosReporter qos;
  LauncherContext context;
};

// Lets a test hold a worker at each step until it has looked.
class Stepper {
 public:
  ~Stepper() { Abandon(); }
  std::function<void()> Hook();
  bool WaitArrived(DWORD timeoutMs);
  void Release();
  void Abandon();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool waiting_ = false;
  bool abandoned_ = false;
};

// Points the reports of `qos` at `path` on the local game server (a path of
// the test's own, so its reports can be told apart).
void ReportQosTo(QosReporter& qos, const std::string& path);
// The event ids reported to `path`, once `count` have arrived or `waitMs` passed.
std::vector<int> QosEventsAt(const std::string& path, size_t count, DWORD waitMs);

}  // namespace e2e
