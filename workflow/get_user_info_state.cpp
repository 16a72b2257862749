#include "workflow/get_user_info_state.h"

#include "base/log.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "workflow/query_pairs.h"
#include "workflow/start_requests.h"
#include "workflow/user_info_rules.h"

GetUserInfoFromTokenState::GetUserInfoFromTokenState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}

Transition GetUserInfoFromTokenState::Begin(DownloadTask& task) {
  const InstallConfig& config = *context->config;
  // A web launch brought the user info along.
  if (!config.userInfo.empty()) return Finish();
  ShowStatus(L"正在检查用户登录信息，请稍后...");
  Log("enter get user login info state");
  if (!TakePrefetched(kUserInfoPrefetchKey)) Fetch("get user login info state", UserInfoRequestUrl(config), task);
  return Transition::Stay();
}

Transition GetUserInfoFromTokenState::Failed(DownloadTask& task) { return Transition::Fail(task.error); }

Transition GetUserInfoFromTokenState::Succeeded(DownloadTask& task) {
  std::string reply = task.BodyText();
  // The reply goes onto the game's command line; one that could split or
  // forge its words fails like an error reply.
  std::string problem = reply.empty() || base::StartsWith(reply, "error")
                            ? std::string()
                            : launch::UserInfoProblem(base::ToWide(reply));
  if (!problem.empty()) reply = "bad user info (" + problem + ")";
  if (reply.empty() || base::StartsWith(reply, "error") || !problem.empty()) {
    task.error = Log("get user info failed! %s", reply.c_str());
    return Failed(task);
  }
  context->config->userInfo = base::ToWide(reply);
  return Finish();
}

Transition GetUserInfoFromTokenState::Finish() {
  QueryPairs pairs = ParseQueryPairs(base::Utf8(context->config->userInfo));
  QosReporter& qos = *context->qos;
  qos.uid = pairs.Get("uid");
  qos.skey = pairs.Get("skey");
  return Transition::Done();
}
