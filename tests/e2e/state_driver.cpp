#include "state_driver.h"

#include <cstdlib>

#include "base/fs.h"
#include "support/game_server.h"
#include "workflow/run_plan.h"

namespace e2e {

StateDriver::StateDriver(const std::wstring& scratchName)
    : scratch(ScratchDir(scratchName)), page(*new RecordingPage) {
  context.page.reset(&page);
  config.installDir = scratch + L"\\inst\\";
  base::CreateDirectoryTree(config.installDir);
  config.pkgName = L"vorn";
  config.weiduanShell = L"wd.exe";
  context.config = &config;
  context.qos = &qos;
}

StateDriver::~StateDriver() {
  // The page is ours, not the states' to free.
  context.page = nullptr;
  context.download = nullptr;
  context.state.reset();
}

void StateDriver::Tick() { Advance(context); }

bool StateDriver::RunUntilReplaced(State* state, DWORD timeoutMs) {
  state->MakeCurrent();
  DWORD start = GetTickCount();
  while (!Advance(context)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

std::function<void()> Stepper::Hook() {
  return [this] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (abandoned_) return;
    waiting_ = true;
    cv_.notify_all();
    cv_.wait(lock, [this] { return !waiting_ || abandoned_; });
  };
}

bool Stepper::WaitArrived(DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return waiting_; });
}

void Stepper::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_ = false;
  cv_.notify_all();
}

void Stepper::Abandon() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = true;
  waiting_ = false;
  cv_.notify_all();
}

void ReportQosTo(QosReporter& qos, const std::string& path) { qos.url = gameserver::ServerUrl(path); }

std::vector<int> QosEventsAt(const std::string& path, size_t count, DWORD waitMs) {
  std::vector<int> events;
  DWORD start = GetTickCount();
  do {
    events.clear();
    for (const std::string& line : gameserver::QosLines())
      if (gameserver::QosField(line, "path") == path)
        events.push_back(std::atoi(gameserver::QosField(line, "T").c_str()));
    if (events.size() >= count) break;
    Sleep(50);
  } while (GetTickCount() - start < waitMs);
  return events;
}

}  // namespace e2e
