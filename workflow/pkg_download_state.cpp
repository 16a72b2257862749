#include "workflow/pkg_download_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "workflow/load_state.h"
#include "workflow/package_url.h"
#include "workflow/pkg_checksum_state.h"
#include "workflow/pkg_decompress_state.h"
#include "workflow/version_number.h"

PkgDownloadState::PkgDownloadState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kProgress) {}

void PkgDownloadState::Begin(DownloadTask& task) {
  const InstallConfig& config = *context->config;
  context->page->SetStatusText(L"正在准备客户端资源，请稍后...");
  reportQos(10, "DownloadPkgStart");
  Log("enter download client state");
  task.localPath = config.GetPkgDownloadPath();
  std::string url;
  std::string error;
  if (!FormatPackageUrl(config.pkgUrl, ReadVersionNumber(config.serverVersion), url, error)) {
    // A pattern we refuse fails like a download that went wrong, so the
    // report, the message and the micro-client fallback are the same.
    task.error = Log("%s", error.c_str());
    task.finished = 1;
    return;
  }
  Fetch("download client zip", url, task);
}

void PkgDownloadState::Failed(DownloadTask&) {
  reportQos(12, "DownloadPkgFailed");
  OnFailed();
}

void PkgDownloadState::Succeeded(DownloadTask&) {
  // With a published checksum the package counts as downloaded only once it
  // matches; the checksum step reports the outcome.
  if (!context->config->pkgSha256.empty()) {
    TransitionTo<PkgChecksumState>(context);
    return;
  }
  reportQos(11, "DownloadPkgOk");
  NextState();
}

void PkgDownloadState::OnFailed() {
  LauncherContext* ctx = context;
  std::string text = Log("下载游戏包失败！[error:%s]", ctx->download->error.c_str());
  if (ctx->config->weiduanShortcut) {
    ctx->config->userInfo.clear();
    TransitionTo<LoadState>(ctx);
    return;
  }
  TransitionTo<ErrorState>(ctx, text);
}

void PkgDownloadState::NextState() { TransitionTo<PkgDecompressState>(context); }
