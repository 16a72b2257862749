#include "base/dll_search.h"

#include <windows.h>

namespace base {

namespace {

// Looked up rather than imported: an import the system lacks would stop the
// program from starting at all.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

SetDefaultDllDirectoriesFn FindSetDefaultDllDirectories() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

}  // namespace

bool LimitDllSearchToSystemFolder() {
  SetDefaultDllDirectoriesFn setDefault = FindSetDefaultDllDirectories();
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  SetDllDirectoryW(L"");
  return false;
}

void LoadLateSystemDlls() {
  // What WinHTTP and Winsock load only when they first need it. The modules
  // stay loaded for the life of the process, which is the point.
  static const wchar_t* const kLate[] = {L"iphlpapi.dll", L"dnsapi.dll", L"dhcpcsvc.dll",
                                         L"secur32.dll",  L"crypt32.dll", L"oleaut32.dll"};
  for (const wchar_t* name : kLate) LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadDllByPath(const wchar_t* path) {
  HMODULE module = LoadLibraryExW(path, nullptr,
                                  LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without the search flags (see above) the folder of a DLL named by its
  // full path is searched for its dependencies in place of ours.
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

}  // namespace base
