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

GetUserInfoFromTokenState::GetUserInfoFromTokenState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}

void GetUserInfoFromTokenState::Begin(DownloadTask& task) {
  const InstallConfig& config = *context->config;
  // A web launch brought the user info along.
  if (!config.userInfo.empty()) {
    NextState();
    return;
  }
  ShowStatus(L"正在检查用户登录信息，请稍后...");
  Log("enter get user login info state");
  if (TakePrefetched(kPrefetchKey)) return;
  Fetch("get user login info state", RequestUrl(config), task);
}

// The token server's URL carries its own "?" and parameter name.
std::string GetUserInfoFromTokenState::RequestUrl(const InstallConfig& config) {
  return config.tokensvr + base::Utf8(config.token);
}

// In micro-client mode the shell still starts, only without a user.
void GetUserInfoFromTokenState::Failed(DownloadTask& task) {
  if (context->config->weiduanShortcut)
    TransitionTo<LoadState>(context);
  else
    TransitionTo<ErrorState>(context, task.error);
}

void GetUserInfoFromTokenState::Succeeded(DownloadTask& task) {
  std::string reply = task.BodyText();
  // The reply goes onto the game's command line; one that could split or
  // forge its words fails like an error reply.
  std::string problem = reply.empty() || base::StartsWith(reply, "error")
                            ? std::string()
                            : launch::UserInfoProblem(base::ToWide(reply));
  if (!problem.empty()) reply = "bad user info (" + problem + ")";
  if (reply.empty() || base::StartsWith(reply, "error") || !problem.empty()) {
    task.error = Log("get user info failed! %s", reply.c_str());
    Failed(task);
    return;
  }
  context->config->userInfo = base::ToWide(reply);
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
