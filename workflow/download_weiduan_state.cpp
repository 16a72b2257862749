#include "workflow/download_weiduan_state.h"

#include "base/log.h"
#include "base/text.h"
#include "install/kill_process.h"
#include "ui/loading_page.h"
#include "workflow/downloaded_file.h"
#include "install/install_config.h"

DownloadWeiduanState::DownloadWeiduanState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kProgress) {}

Transition DownloadWeiduanState::Begin(DownloadTask& task) {
  const InstallConfig& config = *context->config;
  Log("enter download weiduan state");
  context->page->SetStatusText(L"正在下载微端资源，请稍后...");
  // A shell still running from that file would keep it from being replaced.
  KillProcessByPath(base::Utf8(config.GetWeiduanShellPath()));
  // The installed shell stays whole until the new one is complete and checked.
  task.localPath = DownloadingPath(config.GetWeiduanShellPath());
  Fetch("download weiduan", config.weiduanUrl, task);
  return Transition::Stay();
}

Transition DownloadWeiduanState::Failed(DownloadTask& task) {
  // The new shell could not replace the installed one because another
  // process has it open: a micro-client shell that survived KillProcessByPath.
  // The shell on disk stays as it is; the run goes on with it.
  if (task.errorCode == ERROR_SHARING_VIOLATION) return Transition::Done();
  return Transition::Fail(Log("下载微端失败！[error:%s]", task.error.c_str()));
}

Transition DownloadWeiduanState::Succeeded(DownloadTask& task) {
  const InstallConfig& config = *context->config;
  if (!PlaceDownloadedFile(task.localPath, config.GetWeiduanShellPath(), config.weiduanSha256, config.weiduanUrl,
                           &task.error, &task.errorCode))
    return Failed(task);
  return Transition::Done();
}
