#include "workflow/load_state.h"

#include <windows.h>

#include "base/log.h"
#include "base/start_process.h"
#include "base/verified_start.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "workflow/launch_params.h"

LoadState::LoadState(LauncherContext* context) : State(context) {}

namespace {

// Without a shell name the shell's path is the install folder itself, and
// "starting" it would open a file-browser window on the player's desktop.
// The shell was checked when it was downloaded, minutes ago, and may be
// started elevated: it is checked again from a file held against writers
// until it has started. False, with the reason, when it is not the
// published shell; nothing is started then.
bool StartShell(const InstallConfig& config, const std::wstring& params, std::string* error) {
  if (config.weiduanShell.empty()) {
    Log("no micro-client shell configured, not started");
    return true;
  }
  bool refused = false;
  if (StartIfSha256(config.GetWeiduanShellPath(), config.weiduanSha256, params, config.weiduanNeedAdmin, SW_SHOW, error,
                    &refused))
    return true;
  Log("the micro-client shell is not started: %s", error->c_str());
  return !refused;
}

}  // namespace

Transition LoadState::Update() {
  if (started) return Transition::Stay();
  if (context->page) context->page->SetStatusText(L"游戏启动中，请稍后...");
  Log("enter LoadState");
  started = true;

  const InstallConfig& config = *context->config;
  const std::wstring shellPath = config.GetWeiduanShellPath();
  std::string shellError;
  if (config.userInfo.empty()) {
    // No user to log in: only the micro-client shell, with the platform word.
    if (!StartShell(config, launch::ShellParams(config.platform, false, L""), &shellError))
      return RefuseShell(shellError);
  } else {
    // One key for both programs, so the shell can recognise the game it started.
    const std::wstring cmdKey = base::ToWide(base::TimestampText());
    if (config.weiduanShortcut && !StartShell(config, launch::ShellParams(config.platform, true, cmdKey), &shellError))
      return RefuseShell(shellError);
    const QosReporter& qos = *context->qos;
    std::wstring params = launch::GameParams(config.userInfo, shellPath, cmdKey,
                                             base::ToWide(launch::QosTail(qos.qosStartAt, qos.sQosSeq)));
    Log("LaunchGameStart: userInfo: %s", base::Utf8(params).c_str());
    reportQos(*context->qos, qos::kLaunchGameStart);
    if (StartProcess(config.GetPkgExePath(), params, false, SW_SHOWMAXIMIZED))
      reportQos(*context->qos, qos::kLaunchGameOk);
    else
      reportQos(*context->qos, qos::kLaunchGameFailed);
  }
  return Transition::Done();
}

Transition LoadState::RefuseShell(const std::string& error) {
  return Transition::Fail(Log("下载微端失败！[error:%s]", error.c_str()));
}
