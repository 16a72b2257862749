#include "install/config_serial_record.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "base/log.h"
#include "base/text.h"

namespace {

const wchar_t kValueName[] = L"configSerial";

}  // namespace

std::wstring ConfigSerialKeyPath(const std::wstring& installName) { return L"Software\\Vorn\\" + installName; }

SerialRecord ReadAcceptedSerial(const std::wstring& installName, uint64_t* serial) {
  base::UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, ConfigSerialKeyPath(installName).c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
      ERROR_SUCCESS)
    return SerialRecord::kNone;
  DWORD type = 0;
  DWORD size = 0;
  LSTATUS rc = RegQueryValueExW(key.Get(), kValueName, nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return SerialRecord::kNone;
  // Eighteen digits at most, with room for a terminating zero the value may carry.
  constexpr DWORD kMaxBytes = 20 * sizeof(wchar_t);
  if (rc != ERROR_SUCCESS || type != REG_SZ || size == 0 || size > kMaxBytes || size % sizeof(wchar_t) != 0)
    return SerialRecord::kUnreadable;
  std::vector<wchar_t> text(kMaxBytes / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.Get(), kValueName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ || size > kMaxBytes)
    return SerialRecord::kUnreadable;
  size_t length = size / sizeof(wchar_t);
  if (length > 0 && text[length - 1] == L'\0') --length;
  if (length == 0 || length > 18) return SerialRecord::kUnreadable;
  uint64_t value = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return SerialRecord::kUnreadable;
    value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
  }
  *serial = value;
  return SerialRecord::kFound;
}

bool WriteAcceptedSerial(const std::wstring& installName, uint64_t serial) {
  const std::wstring path = ConfigSerialKeyPath(installName);
  base::UniqueKey key;
  LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                               nullptr);
  if (rc != ERROR_SUCCESS) {
    Log("config serial: create HKCU\\%s failed=%ld", base::Utf8(path).c_str(), static_cast<long>(rc));
    return false;
  }
  const std::wstring text = std::to_wstring(serial);
  // REG_SZ counted without the terminating zero, like every value this launcher writes.
  rc = RegSetValueExW(key.Get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                      static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  Log("config serial: HKCU\\%s configSerial=%llu result=%ld", base::Utf8(path).c_str(),
      static_cast<unsigned long long>(serial), static_cast<long>(rc));
  return rc == ERROR_SUCCESS;
}
