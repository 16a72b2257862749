// A stand-in for a DLL that someone dropped beside the launcher under the
// name of a system DLL. Loaded, it leaves "<its own path>.loaded" behind;
// it exports what the launcher takes from the DLL it poses as, so that a
// launcher that did bind to it would start and run far enough to be seen.
#include <windows.h>

namespace {

void LeaveMark(HINSTANCE self) {
  wchar_t path[MAX_PATH + 16] = {};
  DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  lstrcatW(path, L".loaded");
  HANDLE mark = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(self);
  return TRUE;
}

// IPHLPAPI.DLL's: the adapter list read for the statistics reports.
extern "C" __declspec(dllexport) DWORD WINAPI GetAdaptersInfo(void*, ULONG*) {
  return ERROR_NOT_SUPPORTED;
}
