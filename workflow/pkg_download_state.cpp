#include "workflow/pkg_download_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "base/text.h"
#include "install/drive_queries.h"
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
  ShowStatus(L"正在准备客户端资源，请稍后...");
  reportQos(qos::kDownloadPkgStart);
  Log("enter download client state");
  task.localPath = config.GetPkgDownloadPath();
  // The archive's resume record stays until the archive has been unpacked,
  // so that a later run sees a kept archive whole instead of fetching it again.
  task.keepResumeRecord = true;
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

bool PkgDownloadState::Watch(DownloadTask& task) {
  int64_t total = task.total.load();
  if (total <= 1 || total == checkedTotal) return true;
  checkedTotal = total;
  // What is still to come must fit; the bytes already on disk are counted.
  int64_t needed = total - task.received.load();
  uint64_t available = 0;
  if (needed <= 0 || !CurrentDriveQueries().FreeBytes(context->config->installDir, available) ||
      static_cast<uint64_t>(needed) <= available)
    return true;
  LauncherContext* ctx = context;
  std::string text = base::Utf8(DiskSpaceText(needed, static_cast<int64_t>(available)));
  Log("PkgDownloadState: %lld bytes still to download, %llu free on the install drive",
      static_cast<long long>(needed), static_cast<unsigned long long>(available));
  reportQos(qos::kDownloadPkgFailed);
  if (ctx->config->weiduanShortcut) {
    ctx->config->userInfo.clear();
    TransitionTo<LoadState>(ctx);  // the state and its download end here
  } else {
    TransitionTo<ErrorState>(ctx, Log("%s", text.c_str()));
  }
  return false;
}

void PkgDownloadState::Failed(DownloadTask&) {
  reportQos(qos::kDownloadPkgFailed);
  OnFailed();
}

void PkgDownloadState::Succeeded(DownloadTask&) {
  // With a published checksum the package counts as downloaded only once it
  // matches; the checksum step reports the outcome.
  if (!context->config->pkgSha256.empty()) {
    TransitionTo<PkgChecksumState>(context);
    return;
  }
  reportQos(qos::kDownloadPkgOk);
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
