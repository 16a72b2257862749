#include "support/log_reader.h"

#include "base/log.h"
#include "base/strings.h"
#include "support/files.h"
#include "support/scratch_folder.h"

namespace support {

std::wstring LogFilePath() { return RoamingAppData() + L"\\kz-vorn-install.log"; }

std::string ReadLog() { return ReadFileBytes(LogFilePath()); }

bool LogContains(const std::string& text) { return ReadLog().find(text) != std::string::npos; }

bool WaitForLog(const std::string& text, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (LogContains(text)) return true;
    Sleep(50);
  }
  return LogContains(text);
}

namespace {
std::wstring g_testLog;
}

std::wstring OpenTestLog(const std::wstring& dir) {
  g_testLog = dir + L"\\test.log";
  LogOpen(g_testLog);
  return g_testLog;
}

std::string ReadTestLog() { return ReadFileBytes(g_testLog); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  base::Split(text, "\n", lines);
  return lines;
}

bool Logged(const std::string& log, const std::string& message) {
  return log.find("> " + message + "\n") != std::string::npos;
}

std::string LastMessage(const std::string& log) {
  std::vector<std::string> lines = Lines(log);
  if (lines.empty()) return std::string();
  size_t prefix = lines.back().find("> ");
  return prefix == std::string::npos ? lines.back() : lines.back().substr(prefix + 2);
}

std::string LoggedAfter(const std::string& log, const std::string& marker) {
  size_t at = log.find(marker);
  if (at == std::string::npos) return std::string();
  size_t start = at + marker.size();
  size_t end = log.find('\n', start);
  return log.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> StatesEntered(const std::string& log) {
  std::vector<std::string> states;
  for (const std::string& line : Lines(log)) {
    size_t at = line.find("> enter ");
    if (at != std::string::npos) states.push_back(line.substr(at + 2));
  }
  return states;
}

}  // namespace support
