#include "install/registration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>

#include "base/log.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "install/uninstall_ini.h"
#include "install/install_config.h"

std::wstring DesktopFolder() {
  LPITEMIDLIST list = nullptr;
  HRESULT hr = SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &list);
  if (FAILED(hr) || !list) {
    Log("desktop folder unknown: hr=0x%08lx", static_cast<unsigned long>(hr));
    return std::wstring();
  }
  base::ScopeExit freeList([list] { CoTaskMemFree(list); });
  wchar_t buffer[1024] = {};
  if (!SHGetPathFromIDListW(list, buffer)) return std::wstring();
  return buffer;
}

std::wstring LinkWorkingDirectory(const std::wstring& target) {
  size_t i = target.find_last_of(L"\\/");
  return i == std::wstring::npos ? target : target.substr(0, i);
}

std::wstring CreateDesktopLink(const std::wstring& target, const std::wstring& name,
                               const std::wstring& arguments) {
  std::wstring desktop = DesktopFolder();
  // Without a desktop the link would land in the root of the current drive.
  if (desktop.empty()) return std::wstring();
  std::wstring linkPath = desktop + L"\\" + name + L".lnk";

  // Declared first so that the interfaces below are released before COM goes.
  base::ComScope com;
  // A thread already in the multi-threaded apartment can still make a shell
  // link; only a real failure of COM stops us.
  if (!com.Ok() && com.Result() != RPC_E_CHANGED_MODE) {
    Log("CreateDesktopLink: CoInitialize failed hr=0x%08lx", static_cast<unsigned long>(com.Result()));
    return std::wstring();
  }
  base::ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid());
  if (FAILED(hr)) {
    Log("CreateDesktopLink: no shell link object hr=0x%08lx", static_cast<unsigned long>(hr));
    return std::wstring();
  }
  if (FAILED(hr = link->SetPath(target.c_str())) ||
      FAILED(hr = link->SetWorkingDirectory(LinkWorkingDirectory(target).c_str())) ||
      FAILED(hr = link->SetArguments(arguments.c_str()))) {
    Log("CreateDesktopLink: setting the link up failed hr=0x%08lx", static_cast<unsigned long>(hr));
    return std::wstring();
  }
  base::ComPtr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.PutVoid());
  if (SUCCEEDED(hr)) hr = file->Save(linkPath.c_str(), TRUE);
  if (FAILED(hr)) {
    Log("CreateDesktopLink: saving %s failed hr=0x%08lx", base::Utf8(linkPath).c_str(),
        static_cast<unsigned long>(hr));
    return std::wstring();
  }
  return linkPath;
}

bool WriteRegistryValue(const std::wstring& parentPath, const std::wstring& valueName,
                        const std::wstring& data, const std::wstring& keyName) {
  constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;  // 0x2001F
  base::UniqueKey parent;
  LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, parentPath.c_str(), 0, kReadWrite, parent.Put());
  if (rc == ERROR_FILE_NOT_FOUND) {
    // A user profile need not have its own uninstall list yet (a fresh one, or
    // wine's); without this the entry would silently never appear.
    rc = RegCreateKeyExW(HKEY_CURRENT_USER, parentPath.c_str(), 0, nullptr, 0, kReadWrite, nullptr,
                         parent.Put(), nullptr);
    Log("WriteRegistryValue: created HKCU\\%s result=%ld", base::Utf8(parentPath).c_str(),
        static_cast<long>(rc));
  }
  if (rc != ERROR_SUCCESS) {
    Log("WriteRegistryValue: open HKCU\\%s failed=%ld", base::Utf8(parentPath).c_str(),
        static_cast<long>(rc));
    return true;
  }
  base::UniqueKey key;
  rc = RegCreateKeyW(parent.Get(), keyName.c_str(), key.Put());
  if (rc != ERROR_SUCCESS) {
    Log("WriteRegistryValue: create %s failed=%ld", base::Utf8(keyName).c_str(), static_cast<long>(rc));
    return true;
  }
  // REG_SZ counted without the terminating zero, as the readers of this entry expect.
  rc = RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                      reinterpret_cast<const BYTE*>(data.c_str()),
                      static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  Log("WriteRegistryValue: %s\\%s %s=%s result=%ld", base::Utf8(parentPath).c_str(),
      base::Utf8(keyName).c_str(), base::Utf8(valueName).c_str(), base::Utf8(data).c_str(),
      static_cast<long>(rc));
  if (rc != ERROR_SUCCESS) std::puts("error");
  return true;
}

void WriteUninstallIni(const std::wstring& installDir, const std::wstring& installName,
                       const std::wstring& regPath, const std::wstring& linkPath) {
  UninstallIni ini;
  ini.desktopLink = base::Utf8(linkPath);
  ini.installName = base::Utf8(installName);
  ini.regPath = base::Utf8(regPath);
  std::wstring path = base::JoinPath(installDir, kUninstallIniName);
  if (!base::WriteWholeFile(path, FormatUninstallIni(ini)))
    Log("WriteUninstallIni: %s not written: %s", base::Utf8(path).c_str(),
        base::ErrorText(GetLastError()).c_str());
}

void InstallConfig::RegisterInstallation() {
  std::wstring shell = GetWeiduanShellPath();
  std::wstring link = CreateDesktopLink(shell, weiduanName, platform);
  Log("create destop link file result: %s", base::Utf8(link).c_str());

  std::wstring uninstaller = base::JoinPath(installDir, kUninstallerName);
  // An empty key name would put the values into the shared uninstall list itself.
  if (installName.empty()) {
    Log("RegisterInstallation: no installName, uninstall entry skipped");
  } else {
    WriteRegistryValue(kUninstallRegPath, L"DisplayIcon", shell + L" " + platform, installName);
    WriteRegistryValue(kUninstallRegPath, L"DisplayName", weiduanName, installName);
    WriteRegistryValue(kUninstallRegPath, L"DisplayVersion", weiduanVer, installName);
    WriteRegistryValue(kUninstallRegPath, L"Publisher", kPublisher, installName);
    // Quoted, as the system expects of a path with blanks: unquoted, the
    // uninstaller would be handed the rest of its own path as a command line.
    WriteRegistryValue(kUninstallRegPath, L"UninstallString", L"\"" + uninstaller + L"\"", installName);
  }

  if (!modulePath.empty() && !CopyFileW(modulePath.c_str(), uninstaller.c_str(), FALSE))
    Log("RegisterInstallation: copy to %s failed: %s", base::Utf8(uninstaller).c_str(),
        base::ErrorText(GetLastError()).c_str());

  WriteUninstallIni(installDir, installName, kUninstallRegPath, link);
}
