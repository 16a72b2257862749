#include "support/installation.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/registry.h"

namespace support {

std::wstring InstallRecordKey(const std::wstring& installName) { return L"Software\\Vorn\\" + installName; }

void RecordInstallation(const std::wstring& installName, const std::wstring& dir, const std::string& id) {
  ASSERT_TRUE(base::WriteWholeFile(dir + L"install.id", id));
  base::UniqueKey key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, InstallRecordKey(installName).c_str(), key.Put()), ERROR_SUCCESS);
  std::wstring wideId = base::ToWide(id);
  ASSERT_EQ(RegSetValueExW(key.Get(), L"installId", 0, REG_SZ, reinterpret_cast<const BYTE*>(wideId.c_str()),
                           static_cast<DWORD>(wideId.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.Get(), L"installDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                           static_cast<DWORD>(dir.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void ForgetInstallation(const std::wstring& installName) {
  DeleteRegistryTree(HKEY_CURRENT_USER, InstallRecordKey(installName));
}

std::wstring RecordedInstallDir(const std::wstring& installName) {
  return ReadRegistryValue(HKEY_CURRENT_USER, InstallRecordKey(installName), L"installDir").Text();
}

std::string RecordedInstallId(const std::wstring& installName) {
  return base::Utf8(ReadRegistryValue(HKEY_CURRENT_USER, InstallRecordKey(installName), L"installId").Text());
}

}  // namespace support
