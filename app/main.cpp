// Entry of the launcher: one executable for the installer, the web-launch
// copy and the uninstaller, chosen from its own file name and command line.
#include <windows.h>

#include "app/early_states.h"
#include "app/launch_name.h"
#include "app/state_waker.h"
#include "workflow/launcher_context.h"
#include "base/desktop.h"
#include "base/dll_search.h"
#include "base/handles.h"
#include "base/known_folders.h"
#include "base/log.h"
#include "app/main_window.h"
#include "base/start_process.h"
#include "base/strings.h"
#include "base/text.h"
#include "base/verified_start.h"
#include "install/uninstall.h"
#include "net/qos_reporter.h"
#include "resource.h"
#include "ui/page_artwork.h"
#include "install/install_config.h"
#include "workflow/user_info_rules.h"
// A build with -DVORN_PUBLISHER_KEY_FILE carries the publisher's public key
// as VORN_PUBLISHER_KEY_PEM (cmake/publisher_key.cmake writes the header).
#ifdef VORN_PUBLISHER_KEY_HEADER
#include VORN_PUBLISHER_KEY_HEADER
#endif

namespace {

constexpr wchar_t kMutexName[] = L"kz-vorn-install-launcher";
constexpr wchar_t kLogFileName[] = L"kz-vorn-install.log";
constexpr unsigned kQosGraceMs = 3000;

std::wstring ReadModulePath() {
  wchar_t buffer[1024] = {};
  GetModuleFileNameW(nullptr, buffer, 1023);
  return buffer;
}

void OpenRunLog() {
  std::wstring folder;
  if (!base::AppDataFolder(folder)) return;
  LogOpen(base::JoinPath(folder, kLogFileName));
}

int RunMessageLoop(HINSTANCE instance) {
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINACCEL));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    if (!TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showMode) {
  // Before anything that may load a DLL by name.
  base::LimitDllSearchToSystemFolder();
  base::LoadLateSystemDlls();
  // The run's one context: its configuration and statistics records travel
  // from here to whatever needs them.
  LauncherContext ctx;
  InstallConfig& config = *ctx.config;
  config.modulePath = ReadModulePath();

  // Held until the process ends, unless a stage that starts another copy lets go first.
  base::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kMutexName));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  OpenRunLog();

  std::wstring cmd = commandLine ? commandLine : L"";
  switch (ChooseLaunchMode(cmd, config.modulePath)) {
    case LaunchMode::WebLaunchCopy: {
      std::wstring copy = WebLaunchCopyPath(config.modulePath);
      // The copy takes its own single-instance lock, so let go of ours first.
      mutex.Reset();
      // A file of that name that we could not replace (planted, held open)
      // is not ours: only our own bytes are started.
      std::string error;
      if (!CopyAndStart(config.modulePath, copy, cmd, SW_SHOW, &error)) {
        std::string message = Log("启动程序准备失败，请重新下载再重试！[error:%s]", error.c_str());
        MessageBoxW(nullptr, base::ToWide(message).c_str(), L"提示", MB_OK);
      }
      return 0;
    }
    case LaunchMode::Uninstall:
      Log("IsUninstallLauncher");
      // The first stage starts a copy of this program, which needs the mutex.
      RunUninstall(config.modulePath, cmd, [&mutex] { mutex.Reset(); });
      return 0;
    case LaunchMode::Normal:
      break;
  }

  LauncherName name = ParseLauncherName(base::Stem(config.modulePath));
  if (name.namePrefix.empty()) {
    MessageBoxW(nullptr, L"请勿重命名此程序，重新下载再重试！", L"提示", MB_OK);
    return -1;
  }
  config.platform = name.platform;
  config.token = name.token;
  Log("user token: [%s]", base::Utf8(config.token).c_str());
  Log("platform: [%s]", base::Utf8(config.platform).c_str());

  if (config.token.empty() && base::Contains(cmd, L"://")) {
    config.token = L"LaunchFromWeb";
    config.userInfo = WebLaunchUserInfo(cmd);
    Log("user token: [%s]", base::Utf8(config.token).c_str());
    Log("user info: [%s]", base::Utf8(config.userInfo).c_str());
    // Any web page can open our URL protocol, so what it hands us goes onto
    // the game's command line only when it cannot forge or split its words.
    std::string problem = launch::UserInfoProblem(config.userInfo);
    if (!problem.empty()) {
      std::string message = Log("网页登录信息无效，请重新从网页启动游戏！[error:%s]", problem.c_str());
      MessageBoxW(nullptr, base::ToWide(message).c_str(), L"提示", MB_OK);
      return -1;
    }
  }

  ctx.repairRequested = RepairRequested(cmd);
  if (ctx.repairRequested) Log("repair requested: every installed file is checked");
  ctx.qos->plat = base::Utf8(config.platform);
#ifdef VORN_PUBLISHER_KEY_PEM
  ctx.publisherKey = VORN_PUBLISHER_KEY_PEM;
#endif

  LoadStringW(instance, IDS_APP_TITLE, WindowTitle(), 100);
  LoadStringW(instance, IDC_LAUNCHER, WindowClassName(), 100);
  ctx.instance = instance;
  BeginWorkflow(ctx);
  // The page's artwork and the reports' identity are worked out while the
  // window is made, and so are the first states.
  PreparePageArtwork();
  PrepareQosIdentity();
  EarlyStates early;
  early.Start(ctx, TheStateWaker());
  base::AwaitDesktop();
  RegisterMainWindowClass(instance);
  if (!CreateMainWindow(ctx, instance, showMode, [&early] { early.Stop(); })) return 0;
  // The states get their first look as soon as the message loop runs, not a
  // whole timer period later.
  ctx.wake();
  int exitCode = RunMessageLoop(instance);
  // Reports still in flight get a short grace period; an unreachable
  // statistics server must not keep the finished launcher (and its mutex) alive.
  StopQosReports(kQosGraceMs);
  return exitCode;
}
