#include "net/qos_system.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <vector>

#include "base/handles.h"
#include "base/text.h"
#include "net/qos_format.h"

std::string NetworkAddressText() {
  // Room for one adapter first; the system says how much it needs otherwise.
  ULONG size = sizeof(IP_ADAPTER_INFO);
  std::vector<unsigned char> buffer(size);
  DWORD rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  if (rc == ERROR_BUFFER_OVERFLOW) {
    buffer.assign(size, 0);
    rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (rc != ERROR_SUCCESS) return std::string();
  for (auto* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a; a = a->Next) {
    if (a->Type == MIB_IF_TYPE_ETHERNET) {
      UINT length = a->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? a->AddressLength
                                                                   : MAX_ADAPTER_ADDRESS_LENGTH;
      return FormatAdapterAddress(a->Address, length);
    }
  }
  return std::string();
}

std::string FileVersionOf(const std::wstring& modulePath) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(modulePath.c_str(), &ignored);
  if (size == 0) return std::string();
  std::vector<unsigned char> info(size);
  if (!GetFileVersionInfoW(modulePath.c_str(), 0, size, info.data())) return std::string();
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                      reinterpret_cast<void**>(&value), &length) ||
      !value || length == 0)
    return std::string();
  // `length` counts characters including the terminator, when there is one.
  std::wstring text(value, length);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return base::Utf8(text);
}

std::string LauncherFileVersion() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) return FileVersionOf(std::wstring(path.data(), n));
    if (path.size() >= 32768) return std::string();
    path.resize(path.size() * 2);
  }
}

std::string RunningOsName() {
  // The true version: GetVersionEx answers what the manifest allows it to.
  static const std::string name = [] {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(
                    reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) info.dwMajorVersion = info.dwMinorVersion = 0;
    return OsNameFor(info.dwMajorVersion, info.dwMinorVersion);
  }();
  return name;
}
