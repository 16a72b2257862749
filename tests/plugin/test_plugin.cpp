// A stand-in for the browser plug-in that a launcher may carry as resource
// "DLL"/130. Its DllRegisterServer appends the DLL's own path as one line to
// "<dll path>.calls", so a test can tell where it was loaded from and how
// often it was called.
#include <windows.h>

#include <string>

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&DllRegisterServer), &self))
    return E_FAIL;
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  std::wstring marker = std::wstring(path) + L".calls";
  HANDLE file = CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
  std::string line(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, path, -1, &line[0], size, nullptr, nullptr);
  line += '\n';
  DWORD written = 0;
  BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return ok ? S_OK : E_FAIL;
}
