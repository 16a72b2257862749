#include "workflow/download_launcher_logo.h"

#include <windows.h>
#include <shlobj.h>

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "ui/loading_page.h"
#include "workflow/download_weiduan_state.h"
#include "workflow/get_user_info_state.h"
#include "install/install_config.h"

namespace {

// Registration runs at most once per process, even if this state were entered twice.
bool registrationDone = false;

constexpr int kPluginResourceId = 130;
constexpr wchar_t kPluginResourceType[] = L"DLL";
constexpr wchar_t kPluginFolder[] = L"kzplugin";
constexpr wchar_t kPluginFileName[] = L"DeRazoDidivoVA.dll";

bool ProtocolKeyExists(const std::wstring& installName) {
  base::UniqueKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, installName.c_str(), 0, KEY_READ, key.Put()) ==
         ERROR_SUCCESS;
}

std::wstring PluginBaseFolder(const InstallConfig& config) {
  wchar_t folder[1024] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder) >= 0) return folder;
  return base::DirectoryPart(config.GetPkgExePath());
}

// Writes the browser plug-in carried as a resource and lets it register itself.
// An executable without the resource (the shipped launcher) skips all of it.
void RegisterPlugin(HINSTANCE instance, const InstallConfig& config) {
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
    Log("write plugin failed: %s, error code: %lu", base::Utf8(path).c_str(), GetLastError());
    return;
  }
  base::UniqueModule module(LoadLibraryW(path.c_str()));
  if (!module) return;
  using RegisterServer = HRESULT(WINAPI*)();
  auto registerServer = reinterpret_cast<RegisterServer>(
      reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllRegisterServer")));
  if (!registerServer) return;
  registerServer();
  Log("ie game plugin reg succ");
}

// HKEY_CLASSES_ROOT\<installName> becomes a URL protocol that starts the
// launcher copy in the install folder with the whole URL as its argument.
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

}  // namespace

DownloadLauncherLogo::DownloadLauncherLogo(LauncherContext* context) : State(context) {}

DownloadLauncherLogo::~DownloadLauncherLogo() { StopAll(jobs); }

void DownloadLauncherLogo::Update() {
  DownloadTask* task = context->download;
  if (!started) {
    started = true;
    Log("enter download launcher logo state");
    context->page->SetStatusText(L"正在下载微端资源，请稍后...");
    task->Reset();
    // A configuration without a logo names no server: an empty URL would be
    // fetched from the player's own machine (port 80) and, being a file
    // download, retried for a minute before the run went on.
    if (context->config->launcherLogo.empty()) {
      Log("no launcher logo configured");
      NextState();
      return;
    }
    wchar_t temp[1024] = {};
    DWORD length = GetTempPathW(1024, temp);
    if (length == 0 || length >= 1024) {
      NextState();
      return;
    }
    // The temporary folder ends in a backslash; the logo name keeps its own
    // forward slash, which the file APIs accept as a second separator.
    task->localPath = std::wstring(temp) + L"/vorn-logo.png";
    StartDownload(jobs, "download launcher logo", context->config->launcherLogo, task);
    return;
  }
  // The page is neither fed nor repainted while the logo downloads.
  if (!task->finished) return;
  if (task->error.empty()) {
    if (Gdiplus::Image* logo = LoadImageFromFile(task->localPath)) context->page->SetLogo(logo);
  }
  NextState();
}

void DownloadLauncherLogo::NextState() {
  LauncherContext* ctx = context;  // this state is gone after the transition
  InstallConfig& config = *ctx->config;
  if (config.weiduanShortcut) {
    TransitionTo<DownloadWeiduanState>(ctx);
    return;
  }
  // An existing protocol key means an earlier run registered everything.
  if (!registrationDone && !ProtocolKeyExists(config.installName)) {
    registrationDone = true;
    RegisterPlugin(ctx->instance, config);
    RegisterUrlProtocol(config);
  }
  if (config.token.empty()) {
    TransitionTo<ErrorState>(ctx, Log("can't config token"));
    return;
  }
  TransitionTo<GetUserInfoFromTokenState>(ctx);
}
