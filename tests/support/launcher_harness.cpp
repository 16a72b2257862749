#include "support/launcher_harness.h"

#include <tlhelp32.h>

#include <cstdio>

#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "support/wine_path.h"

namespace support {

std::wstring LauncherExe() { return WinePath(VORN_LAUNCHER_EXE); }

LauncherRun::~LauncherRun() {
  if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

bool LauncherRun::Start(const std::wstring& dir, const std::wstring& exeName, const std::wstring& commandLine,
                        const std::wstring& sourceExe) {
  std::wstring target = dir + L"\\" + exeName;
  std::wstring source = sourceExe.empty() ? LauncherExe() : sourceExe;
  // A start right after an earlier run in the same folder has failed once,
  // on a loaded machine, without saying why. The copy is retried for up to
  // two seconds, with the folder made again, and the first failure printed,
  // before the start counts as failed.
  for (int attempt = 0; !CopyFileW(source.c_str(), target.c_str(), FALSE); ++attempt) {
    DWORD error = GetLastError();
    if (attempt == 20) {
      startFailure_ = "copying to " + base::Utf8(target) + " failed, error " + std::to_string(error);
      return false;
    }
    if (attempt == 0) std::fprintf(stderr, "copying to %s failed, error %lu; retrying\n", base::Utf8(target).c_str(), error);
    Sleep(100);
    base::CreateDirectoryTree(dir);
  }
  return StartExisting(target, commandLine);
}

bool LauncherRun::StartExisting(const std::wstring& exePath, const std::wstring& commandLine,
                                const std::wstring& currentDir) {
  exePath_ = exePath;
  std::wstring line = L"\"" + exePath + L"\"";
  if (!commandLine.empty()) line += L" " + commandLine;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring dir = currentDir.empty() ? base::DirectoryPart(exePath) : currentDir;
  // Retried like the copy above: under load, wine's CreateProcessW now and
  // then fails with ERROR_INTERNAL_ERROR (1359) on a program just copied, and
  // starts it on the next try. A missing file is final at once.
  for (int attempt = 0; !CreateProcessW(exePath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        dir.c_str(), &si, &pi);
       ++attempt) {
    DWORD error = GetLastError();
    if (attempt == 20 || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      startFailure_ = "starting " + base::Utf8(exePath) + " failed, error " + std::to_string(error);
      return false;
    }
    if (attempt == 0) std::fprintf(stderr, "starting %s failed, error %lu; retrying\n", base::Utf8(exePath).c_str(), error);
    Sleep(100);
  }
  CloseHandle(pi.hThread);
  process_.Reset(pi.hProcess);
  pid_ = pi.dwProcessId;
  return true;
}

bool LauncherRun::Attach(DWORD pid) {
  process_.Reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid));
  pid_ = pid;
  return process_.Valid();
}

namespace {

// A top-level window of the process with the class name (and visible, when asked).
struct FindWindowOf {
  DWORD pid;
  const wchar_t* className;
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK FindWindowProc(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindWindowOf*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (pid == find->pid && std::wstring(cls) == find->className && (!find->visibleOnly || IsWindowVisible(window))) {
    find->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WindowOf(DWORD pid, const wchar_t* className, bool visibleOnly) {
  FindWindowOf find{pid, className, visibleOnly, nullptr};
  EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  if (_wcsicmp(cls, L"Static") == 0) {
    wchar_t text[4096] = {};
    GetWindowTextW(child, text, 4096);
    auto* out = reinterpret_cast<std::wstring*>(param);
    if (wcslen(text) > out->size()) *out = text;
  }
  return TRUE;
}

}  // namespace

MessageBoxInfo LauncherRun::WaitForMessageBox(DWORD timeoutMs) {
  MessageBoxInfo info;
  DWORD start = GetTickCount();
  do {
    if (HWND box = WindowOf(pid_, L"#32770", true)) {
      info.window = box;
      wchar_t caption[256] = {};
      GetWindowTextW(box, caption, 256);
      info.caption = caption;
      EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&info.text));
      return info;
    }
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) break;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return info;
}

void LauncherRun::PressOk(const MessageBoxInfo& box) {
  if (!box.window) return;
  HWND ok = GetDlgItem(box.window, IDOK);
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

HWND LauncherRun::WaitForMainWindow(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    if (HWND window = WindowOf(pid_, L"PALLWICK", false)) return window;
    Sleep(20);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool LauncherRun::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_) return false;
  if (WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_.Get(), exitCode);
  return true;
}

std::vector<std::wstring> LauncherRun::RunToEnd(DWORD timeoutMs, DWORD* exitCode) {
  std::vector<std::wstring> texts;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (WaitExit(0, exitCode)) return texts;
    MessageBoxInfo box = WaitForMessageBox(200);
    if (box.window) {
      texts.push_back(box.text);
      PressOk(box);
      // Give the box time to close before looking again.
      for (int i = 0; i < 50 && IsWindow(box.window); ++i) Sleep(20);
    }
  }
  WaitExit(0, exitCode);
  return texts;
}

std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
  std::vector<DWORD> pids;
  base::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return pids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32FirstW(snapshot.Get(), &entry); ok; ok = Process32NextW(snapshot.Get(), &entry))
    if (_wcsicmp(entry.szExeFile, name.c_str()) == 0) pids.push_back(entry.th32ProcessID);
  return pids;
}

bool WaitNoProcessNamed(const std::wstring& name, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (ProcessesNamed(name).empty()) return true;
    Sleep(100);
  }
  return ProcessesNamed(name).empty();
}

void KillProcessesNamed(const std::wstring& name) {
  for (DWORD pid : ProcessesNamed(name)) {
    base::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) continue;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 5000);
  }
}

}  // namespace support
