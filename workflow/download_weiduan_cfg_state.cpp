#include "workflow/download_weiduan_cfg_state.h"

#include "base/log.h"
#include "base/fs.h"
#include "base/text.h"
#include "ui/loading_page.h"
#include "workflow/downloaded_file.h"
#include "install/install_config.h"

DownloadWeiduanCfgState::DownloadWeiduanCfgState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}  // no bar for this small file

Transition DownloadWeiduanCfgState::Begin(DownloadTask& task) {
  context->page->SetStatusText(L"正在下载微端配置，请稍后...");
  Log("enter download weiduan cfg state");
  task.localPath = DownloadingPath(context->config->GetWeiduanCfgPath());
  Fetch("download weiduan cfg", context->config->weiduanCfgUrl, task);
  return Transition::Stay();
}

Transition DownloadWeiduanCfgState::Failed(DownloadTask& task) {
  return Transition::Fail(Log("下载微端配置失败！[error:%s]", task.error.c_str()));
}

Transition DownloadWeiduanCfgState::Succeeded(DownloadTask& task) {
  InstallConfig& config = *context->config;
  if (!PlaceDownloadedFile(task.localPath, config.GetWeiduanCfgPath(), config.weiduanCfgSha256,
                           config.weiduanCfgUrl, &task.error, &task.errorCode))
    return Failed(task);
  // Nothing in this program reads the version file back, so a failure to
  // write it does not stop the run.
  if (!base::WriteWholeFile(config.GetWeiduanVerPath(), base::Utf8(config.weiduanVer)))
    Log("weiduan.ver not written");
  config.RegisterInstallation();
  return Transition::Done();
}
