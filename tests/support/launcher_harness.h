#pragma once
// Drives the built launcher the way a player would: copies it under a chosen
// file name into a scratch folder, starts it and answers its message boxes.
// Its log: support/log_reader.h. Other programs the tests start (copies of the
// stand-in game) run under the same owner.
#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"

namespace support {

// The built launcher.
std::wstring LauncherExe();

struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
};

class LauncherRun {
 public:
  LauncherRun() = default;
  ~LauncherRun();  // ends the process if it still runs
  LauncherRun(const LauncherRun&) = delete;
  LauncherRun& operator=(const LauncherRun&) = delete;

  // Copies the launcher (or `sourceExe`) to dir\exeName and starts it with `commandLine`.
  bool Start(const std::wstring& dir, const std::wstring& exeName, const std::wstring& commandLine = L"",
             const std::wstring& sourceExe = L"");
  // Starts an existing executable, in its own folder unless `currentDir` is given.
  bool StartExisting(const std::wstring& exePath, const std::wstring& commandLine = L"",
                     const std::wstring& currentDir = L"");

  // Follows a process started by someone else (for example a web-launch copy).
  bool Attach(DWORD pid);

  // Waits for a message box of this process; empty window on time-out.
  MessageBoxInfo WaitForMessageBox(DWORD timeoutMs);
  static void PressOk(const MessageBoxInfo& box);
  // The launcher's main window (class "PALLWICK"), once it exists.
  HWND WaitForMainWindow(DWORD timeoutMs);
  // Waits for the process to end; false on time-out.
  bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  // Runs to the end, pressing OK on every box; returns the texts shown.
  std::vector<std::wstring> RunToEnd(DWORD timeoutMs, DWORD* exitCode);

  DWORD Pid() const { return pid_; }
  // Why the last Start or StartExisting failed, with the system's error code.
  const std::string& StartFailure() const { return startFailure_; }
  const std::wstring& ExePath() const { return exePath_; }

 private:
  base::UniqueHandle process_;
  DWORD pid_ = 0;
  std::wstring exePath_;
  std::string startFailure_;
};

// Processes whose executable file name equals `name` (case-insensitive).
std::vector<DWORD> ProcessesNamed(const std::wstring& name);
bool WaitNoProcessNamed(const std::wstring& name, DWORD timeoutMs);
void KillProcessesNamed(const std::wstring& name);

}  // namespace support
