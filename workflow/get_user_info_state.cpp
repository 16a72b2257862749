#include "workflow/get_user_info_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "workflow/download_pkg_ver_state.h"
#include "install/install_config.h"
#include "workflow/load_state.h"
#include "workflow/query_pairs.h"
#include "workflow/user_info_rules.h"

GetUserInfoFromTokenState::GetUserInfoFromTokenState(LauncherContext* context) : State(context) {}

GetUserInfoFromTokenState::~GetUserInfoFromTokenState() { StopAll(jobs); }

void GetUserInfoFromTokenState::Update() {
  InstallConfig& config = *context->config;
  // A web launch brought the user info along; a stored reply is acted on at once.
  if (!config.userInfo.empty()) {
    NextState();
    return;
  }
  DownloadTask* task = context->download;
  if (!started) {
    started = true;
    context->page->SetStatusText(L"正在检查用户登录信息，请稍后...");
    Log("enter get user login info state");
    task->Reset();
    // The token server's URL carries its own "?" and parameter name.
    StartDownload(jobs, "get user login info state", config.tokensvr + base::Utf8(config.token),
                  task);
    return;
  }
  if (!task->finished) {
    context->page->Redraw();
    return;
  }
  LauncherContext* ctx = context;  // this state is gone after a transition
  if (!task->error.empty()) {
    if (config.weiduanShortcut)
      TransitionTo<LoadState>(ctx);
    else
      TransitionTo<ErrorState>(ctx, task->error);
    return;
  }
  std::string reply = task->BodyText();
  // The reply goes onto the game's command line; one that could split or
  // forge its words fails like an error reply.
  std::string problem = reply.empty() || base::StartsWith(reply, "error")
                            ? std::string()
                            : launch::UserInfoProblem(base::ToWide(reply));
  if (!problem.empty()) reply = "bad user info (" + problem + ")";
  if (reply.empty() || base::StartsWith(reply, "error") || !problem.empty()) {
    std::string message = Log("get user info failed! %s", reply.c_str());
    // In micro-client mode the shell still starts, only without a user.
    if (config.weiduanShortcut)
      TransitionTo<LoadState>(ctx);
    else
      TransitionTo<ErrorState>(ctx, message);
    return;
  }
  config.userInfo = base::ToWide(reply);
  NextState();
}

void GetUserInfoFromTokenState::NextState() {
  LauncherContext* ctx = context;
  QueryPairs pairs = ParseQueryPairs(base::Utf8(ctx->config->userInfo));
  QosReporter& qos = TheQosReporter();
  qos.uid = pairs.Get("uid");
  qos.skey = pairs.Get("skey");
  TransitionTo<DownloadPkgVerState>(ctx);
}
