#include "workflow/download_weiduan_cfg_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "base/fs.h"
#include "base/text.h"
#include "ui/loading_page.h"
#include "workflow/downloaded_file.h"
#include "workflow/get_user_info_state.h"
#include "install/install_config.h"
#include "workflow/load_state.h"

DownloadWeiduanCfgState::DownloadWeiduanCfgState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}  // no bar for this small file

void DownloadWeiduanCfgState::Begin(DownloadTask& task) {
  context->page->SetStatusText(L"正在下载微端配置，请稍后...");
  Log("enter download weiduan cfg state");
  task.localPath = DownloadingPath(context->config->GetWeiduanCfgPath());
  Fetch("download weiduan cfg", context->config->weiduanCfgUrl, task);
}

void DownloadWeiduanCfgState::Failed(DownloadTask&) { OnFailed(); }

void DownloadWeiduanCfgState::Succeeded(DownloadTask& task) {
  InstallConfig& config = *context->config;
  if (!PlaceDownloadedFile(task.localPath, config.GetWeiduanCfgPath(), config.weiduanCfgSha256,
                           config.weiduanCfgUrl, &task.error, &task.errorCode)) {
    OnFailed();
    return;
  }
  // Nothing in this program reads the version file back, so a failure to
  // write it does not stop the run.
  if (!base::WriteWholeFile(config.GetWeiduanVerPath(), base::Utf8(config.weiduanVer)))
    Log("weiduan.ver not written");
  config.RegisterInstallation();
  NextState();
}

void DownloadWeiduanCfgState::OnFailed() {
  LauncherContext* ctx = context;
  std::string text = Log("下载微端配置失败！[error:%s]", ctx->download->error.c_str());
  TransitionTo<ErrorState>(ctx, text);
}

void DownloadWeiduanCfgState::NextState() {
  if (!context->config->token.empty())
    TransitionTo<GetUserInfoFromTokenState>(context);
  else
    TransitionTo<LoadState>(context);
}
