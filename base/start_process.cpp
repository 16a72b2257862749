#include "base/start_process.h"

#include <windows.h>
#include <shellapi.h>

#include "base/log.h"
#include "base/text.h"

bool StartProcess(const std::wstring& exePath, const std::wstring& params, bool elevate, int showMode) {
  Log("StartProcess exepath=%s, params=%s", base::Utf8(exePath).c_str(), base::Utf8(params).c_str());
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // Failures are logged here and reported by the caller; the shell must not
  // put up a dialog of its own (a missing file would otherwise show one).
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = elevate ? L"runas" : nullptr;
  info.lpFile = exePath.c_str();
  info.lpParameters = params.c_str();
  info.nShow = showMode;
  if (ShellExecuteExW(&info)) return true;
  Log("StartProcess failed error=%d", static_cast<int>(GetLastError()));
  return false;
}
