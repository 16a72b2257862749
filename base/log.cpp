#include "base/log.h"

#include <windows.h>

#include <cstdio>
#include <ctime>
#include <mutex>

#include "base/fs.h"
#include "base/strings.h"

namespace {

constexpr size_t kMessageLimit = 4095;  // bytes including the terminator
const char kBanner[] = "=====================start=====================\n";

// Never destroyed: report threads that outlive the exit wait may still log
// while static objects are being torn down.
struct LogState {
  std::mutex mutex;
  bool enabled = false;
  std::wstring path;
};
LogState& State() {
  static LogState* state = new LogState;
  return *state;
}

// Whole lines go through one append each, in binary mode so a line ends in a
// single line feed.
void AppendLine(const std::string& line) {
  FILE* f = _wfopen(State().path.c_str(), L"ab");
  if (!f) return;
  fwrite(line.data(), 1, line.size(), f);
  fflush(f);
  fclose(f);
}

std::string TimePrefix() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  char text[64];
  // "<%F %T> " spelled out: the C runtime's strftime lacks %F and %T.
  std::strftime(text, sizeof text, "<%Y-%m-%d %H:%M:%S> ", &local);
  return text;
}

}  // namespace

void LogOpen(const std::wstring& path) {
  LogState& log = State();
  std::lock_guard<std::mutex> lock(log.mutex);
  std::wstring dir = base::DirectoryPart(path);
  if (!dir.empty() && base::CreateDirectoryTree(dir) != 0) {
    log.enabled = false;
    log.path.clear();
    return;
  }
  log.enabled = true;
  log.path = path;
  if (FILE* f = _wfopen(path.c_str(), L"wb")) {
    fwrite(kBanner, 1, sizeof kBanner - 1, f);
    fclose(f);
  }
}

std::string LogV(const char* format, va_list args) {
  char buffer[kMessageLimit];
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  std::string message = n < 0 ? std::string() : std::string(buffer);
  LogState& log = State();
  std::lock_guard<std::mutex> lock(log.mutex);
  if (log.enabled) AppendLine(TimePrefix() + message + "\n");
  return message;
}

std::string Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = LogV(format, args);
  va_end(args);
  return message;
}

std::wstring LogPath() {
  LogState& log = State();
  std::lock_guard<std::mutex> lock(log.mutex);
  return log.enabled ? log.path : std::wstring();
}
