#include "install/install_record.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "base/log.h"
#include "base/text.h"
#include "install/install_id.h"

namespace {

// A folder path longer than this is no path we wrote.
constexpr DWORD kMaxValueChars = 1024;

// A REG_SZ value, without the terminating zero(s) it may or may not carry.
bool ReadText(HKEY key, const wchar_t* name, std::wstring* text) {
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
  if (type != REG_SZ || bytes % sizeof(wchar_t) != 0 || bytes > kMaxValueChars * sizeof(wchar_t)) return false;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD got = bytes;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS ||
      type != REG_SZ || got > bytes)
    return false;
  text->assign(buffer.data(), got / sizeof(wchar_t));
  while (!text->empty() && text->back() == L'\0') text->pop_back();
  // A zero inside the text would make it one thing here and another to the file system.
  return text->find(L'\0') == std::wstring::npos;
}

bool IsAbsoluteFolder(const std::wstring& dir) {
  if (dir.size() < 4 || dir.back() != L'\\') return false;
  bool drive = ((dir[0] >= L'A' && dir[0] <= L'Z') || (dir[0] >= L'a' && dir[0] <= L'z')) && dir[1] == L':' &&
               dir[2] == L'\\';
  bool share = dir[0] == L'\\' && dir[1] == L'\\' && dir[2] != L'?' && dir[2] != L'.';
  return drive || share;
}

LSTATUS WriteText(HKEY key, const wchar_t* name, const std::wstring& text) {
  // Counted without the terminating zero, like every value the launcher writes.
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

}  // namespace

std::wstring InstallRecordKeyPath(const std::wstring& installName) {
  return std::wstring(kVornRegPath) + L"\\" + installName;
}

bool ReadInstallRecord(const std::wstring& installName, InstallRecord* record) {
  base::UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, InstallRecordKeyPath(installName).c_str(), 0, KEY_QUERY_VALUE, key.Put()) !=
      ERROR_SUCCESS)
    return false;
  std::wstring id;
  std::wstring dir;
  if (!ReadText(key.Get(), kInstallIdValue, &id) || !ReadText(key.Get(), kInstallDirValue, &dir)) return false;
  std::string narrowId = base::Utf8(id);
  if (!IsInstallId(narrowId) || !IsAbsoluteFolder(dir)) return false;
  record->installId = narrowId;
  record->installDir = dir;
  return true;
}

bool WriteInstallRecord(const std::wstring& installName, const InstallRecord& record) {
  std::wstring path = InstallRecordKeyPath(installName);
  base::UniqueKey key;
  LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                               nullptr);
  if (rc == ERROR_SUCCESS) rc = WriteText(key.Get(), kInstallIdValue, base::ToWide(record.installId));
  if (rc == ERROR_SUCCESS) rc = WriteText(key.Get(), kInstallDirValue, record.installDir);
  Log("WriteInstallRecord: HKCU\\%s %s=%s result=%ld", base::Utf8(path).c_str(), base::Utf8(kInstallDirValue).c_str(),
      base::Utf8(record.installDir).c_str(), static_cast<long>(rc));
  return rc == ERROR_SUCCESS;
}

void ClearInstallRecord(const std::wstring& installName) {
  std::wstring path = InstallRecordKeyPath(installName);
  base::UniqueKey key;
  LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, key.Put());
  if (rc == ERROR_SUCCESS) {
    RegDeleteValueW(key.Get(), kInstallIdValue);
    rc = RegDeleteValueW(key.Get(), kInstallDirValue);
  }
  Log("ClearInstallRecord: HKCU\\%s result=%ld", base::Utf8(path).c_str(), static_cast<long>(rc));
}
