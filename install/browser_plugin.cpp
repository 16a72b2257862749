#include "install/browser_plugin.h"

#include <string>

#include "base/dll_search.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/known_folders.h"
#include "base/log.h"
#include "base/strings.h"
#include "base/text.h"
#include "install/install_config.h"

namespace {

constexpr int kPluginResourceId = 130;
constexpr wchar_t kPluginResourceType[] = L"DLL";
constexpr wchar_t kPluginFolder[] = L"kzplugin";
constexpr wchar_t kPluginFileName[] = L"DeRazoDidivoVA.dll";

std::wstring PluginBaseFolder(const InstallConfig& config) {
  std::wstring folder;
  if (base::AppDataFolder(folder)) return folder;
  return base::DirectoryPart(config.GetPkgExePath());
}

}  // namespace

void RegisterBrowserPlugin(HINSTANCE instance, const InstallConfig& config) {
  HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(kPluginResourceId), kPluginResourceType);
  if (!info) return;
  DWORD size = SizeofResource(instance, info);
  HGLOBAL loaded = LoadResource(instance, info);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (!bytes || size == 0) return;

  std::wstring folder = base::JoinPath(PluginBaseFolder(config), kPluginFolder);
  std::wstring path = base::JoinPath(folder, kPluginFileName);
  base::CreateDirectoryTree(folder);  // a failure shows up as the write failing below
  if (!base::WriteWholeFile(path, std::string(bytes, size))) {
    // Most likely an older copy is loaded somewhere. Loading whatever file is
    // there would register code we did not ship, so leave the plug-in alone.
    Log("write plugin failed: %s, %s", base::Utf8(path).c_str(),
        base::ErrorText(GetLastError()).c_str());
    return;
  }
  base::UniqueModule module(base::LoadDllByPath(path.c_str()));
  if (!module) return;
  using RegisterServer = HRESULT(WINAPI*)();
  auto registerServer = reinterpret_cast<RegisterServer>(
      reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllRegisterServer")));
  if (!registerServer) return;
  registerServer();
  Log("ie game plugin reg succ");
}
