#include "workflow/load_state.h"

#include <windows.h>

#include "base/log.h"
#include "base/start_process.h"
#include "workflow/terminal_states.h"
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
void StartShell(const InstallConfig& config, const std::wstring& params) {
  if (config.weiduanShell.empty()) {
    Log("no micro-client shell configured, not started");
    return;
  }
  StartProcess(config.GetWeiduanShellPath(), params, config.weiduanNeedAdmin, SW_SHOW);
}

}  // namespace

void LoadState::Update() {
  if (started) return;
  if (context->page) context->page->SetStatusText(L"游戏启动中，请稍后...");
  Log("enter LoadState");
  started = true;

  const InstallConfig& config = *context->config;
  const std::wstring shellPath = config.GetWeiduanShellPath();
  if (config.userInfo.empty()) {
    // No user to log in: only the micro-client shell, with the platform word.
    StartShell(config, launch::ShellParams(config.platform, false, L""));
  } else {
    // One key for both programs, so the shell can recognise the game it started.
    const std::wstring cmdKey = base::ToWide(base::TimestampText());
    if (config.weiduanShortcut) StartShell(config, launch::ShellParams(config.platform, true, cmdKey));
    const QosReporter& qos = context->qos ? *context->qos : TheQosReporter();
    std::wstring params = launch::GameParams(config.userInfo, shellPath, cmdKey,
                                             base::ToWide(launch::QosTail(qos.qosStartAt, qos.sQosSeq)));
    Log("LaunchGameStart: userInfo: %s", base::Utf8(params).c_str());
    reportQos(25, "LaunchGameStart");
    if (StartProcess(config.GetPkgExePath(), params, false, SW_SHOWMAXIMIZED))
      reportQos(26, "LaunchGameOk");
    else
      reportQos(27, "LaunchGameFailed");
  }
  TransitionTo<CompleteState>(context, true);
}
