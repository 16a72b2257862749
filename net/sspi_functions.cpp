#include "net/sspi_handles.h"

#include <mutex>
#include <string>

namespace net {

const SecurityFunctionTableW* Sspi() {
  static std::once_flag once;
  static const SecurityFunctionTableW* table = nullptr;
  std::call_once(once, [] {
    wchar_t folder[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    // Kept loaded for the rest of the process, like a static import.
    HMODULE library = LoadLibraryW((std::wstring(folder) + L"\\secur32.dll").c_str());
    if (!library) return;
    auto init = reinterpret_cast<INIT_SECURITY_INTERFACE_W>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitSecurityInterfaceW")));
    if (init) table = init();
  });
  return table;
}

}  // namespace net
