#pragma once
// Reading logs: the launcher's own (one file per machine, begun anew by each
// run) and the log of the test process itself. A log line is
// "<YYYY-MM-DD HH:MM:SS> message".
#include <windows.h>

#include <string>
#include <vector>

namespace support {

// The launcher's log file in the roaming application data.
std::wstring LogFilePath();
std::string ReadLog();
bool LogContains(const std::string& text);
// Polls the launcher's log until it contains `text`.
bool WaitForLog(const std::string& text, DWORD timeoutMs);

// Begins the test process's own log anew as `dir`\test.log; returns its path.
std::wstring OpenTestLog(const std::wstring& dir);
std::string ReadTestLog();

// The text's lines, split at "\n" (a last empty piece is no line).
std::vector<std::string> Lines(const std::string& text);
// Whether one line of `log` carries exactly `message`.
bool Logged(const std::string& log, const std::string& message);
// The message of the log's last line.
std::string LastMessage(const std::string& log);
// The rest of the first line after `marker` ("SetInstallDir:" gives the
// folder); empty when no line has it.
std::string LoggedAfter(const std::string& log, const std::string& marker);
// The messages that enter a workflow state ("enter LoadState"), in order.
std::vector<std::string> StatesEntered(const std::string& log);

}  // namespace support
