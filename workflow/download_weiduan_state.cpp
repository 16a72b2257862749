#include "workflow/download_weiduan_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "base/text.h"
#include "install/kill_process.h"
#include "ui/loading_page.h"
#include "workflow/download_weiduan_cfg_state.h"
#include "install/install_config.h"

namespace {

// The download could not create the local file because another process has
// it open: a micro-client shell that survived KillProcessByPath.
constexpr uint32_t kFileInUse = 32;  // ERROR_SHARING_VIOLATION

}  // namespace

DownloadWeiduanState::DownloadWeiduanState(LauncherContext* context) : State(context) {}

DownloadWeiduanState::~DownloadWeiduanState() { StopAll(jobs); }

void DownloadWeiduanState::Update() {
  InstallConfig& config = *context->config;
  DownloadTask* task = context->download;
  if (!started) {
    started = true;
    Log("enter download weiduan state");
    context->page->SetStatusText(L"正在下载微端资源，请稍后...");
    task->Reset();
    // A shell still running from that file would keep it from being replaced.
    KillProcessByPath(base::Utf8(config.GetWeiduanShellPath()));
    task->localPath = config.GetWeiduanShellPath();
    StartDownload(jobs, "download weiduan", config.weiduanUrl, task);
    return;
  }
  if (!task->finished) {
    context->page->SetProgress(task->received, task->total);
    return;
  }
  if (!task->error.empty()) {
    OnFailed();
    return;
  }
  NextState();
}

void DownloadWeiduanState::OnFailed() {
  LauncherContext* ctx = context;
  if (ctx->download->errorCode == kFileInUse) {
    // The shell on disk stays as it is; the run goes on with it.
    NextState();
    return;
  }
  std::string text = Log("下载微端失败！[error:%s]", ctx->download->error.c_str());
  TransitionTo<ErrorState>(ctx, text);
}

void DownloadWeiduanState::NextState() { TransitionTo<DownloadWeiduanCfgState>(context); }
