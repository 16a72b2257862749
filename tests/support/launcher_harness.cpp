#include "support/launcher_harness.h"

#include <tlhelp32.h>

#include "base/handles.h"
#include "base/strings.h"
#include "support/wine_path.h"

namespace support {

std::wstring LauncherExe() { return WinePath(VORN_LAUNCHER_EXE); }

LauncherRun::~LauncherRun() {
  if (process_) {
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
}

bool LauncherRun::Start(const std::wstring& dir, const std::wstring& exeName, const std::wstring& commandLine,
                        const std::wstring& sourceExe) {
  std::wstring target = dir + L"\\" + exeName;
  std::wstring source = sourceExe.empty() ? LauncherExe() : sourceExe;
  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return false;
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
  if (!CreateProcessW(exePath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                      &si, &pi))
    return false;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  pid_ = pi.dwProcessId;
  return true;
}

bool LauncherRun::Attach(DWORD pid) {
  process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  pid_ = pid;
  return process_ != nullptr;
}

namespace {

struct FindBox {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBoxProc(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindBox*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (pid == find->pid && std::wstring(cls) == L"#32770" && IsWindowVisible(window)) {
    find->found = window;
    return FALSE;
  }
  return TRUE;
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

struct FindMain {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMainProc(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindMain*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (pid == find->pid && std::wstring(cls) == L"PALLWICK") {
    find->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

MessageBoxInfo LauncherRun::WaitForMessageBox(DWORD timeoutMs) {
  MessageBoxInfo info;
  DWORD start = GetTickCount();
  do {
    FindBox find{pid_, nullptr};
    EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&find));
    if (find.found) {
      info.window = find.found;
      wchar_t caption[256] = {};
      GetWindowTextW(find.found, caption, 256);
      info.caption = caption;
      EnumChildWindows(find.found, CollectStaticText, reinterpret_cast<LPARAM>(&info.text));
      return info;
    }
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) break;
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
    FindMain find{pid_, nullptr};
    EnumWindows(FindMainProc, reinterpret_cast<LPARAM>(&find));
    if (find.found) return find.found;
    Sleep(20);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool LauncherRun::WaitExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_) return false;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
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
