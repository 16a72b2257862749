#include "install/url_protocol.h"

#include <windows.h>

#include "base/handles.h"
#include "base/log.h"
#include "install/install_config.h"

bool UrlProtocolRegistered(const std::wstring& installName) {
  base::UniqueKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, installName.c_str(), 0, KEY_READ, key.Put()) ==
         ERROR_SUCCESS;
}

// Every step is tried even when an earlier one failed, and each failure is
// logged with the code the registry call returned.
void RegisterUrlProtocol(const InstallConfig& config) {
  base::UniqueKey root;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"", 0, KEY_READ | KEY_WRITE, root.Put()) != ERROR_SUCCESS)
    return;

  base::UniqueKey protocol;
  LONG rt = RegCreateKeyW(root.Get(), config.installName.c_str(), protocol.Put());
  if (rt != ERROR_SUCCESS) Log("create key failed, rt:%ld", rt);

  rt = RegSetValueExW(protocol.Get(), L"URL Protocol", 0, REG_SZ,
                      reinterpret_cast<const BYTE*>(L""), 0);
  if (rt != ERROR_SUCCESS) Log("create url protocol failed, rt:%ld", rt);

  std::wstring command = L"\"" + config.GetLauncherPath() + L"\" \"%1\"";
  base::UniqueKey commandKey;
  rt = RegCreateKeyW(protocol.Get(), L"shell\\open\\command", commandKey.Put());
  if (rt != ERROR_SUCCESS) Log("create key2 failed, rt:%ld", rt);

  rt = RegSetValueExW(commandKey.Get(), nullptr, 0, REG_SZ,
                      reinterpret_cast<const BYTE*>(command.c_str()),
                      static_cast<DWORD>(command.size() * sizeof(wchar_t)));
  if (rt != ERROR_SUCCESS) Log("create shell failed, rt:%ld", rt);
}
