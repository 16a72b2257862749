#include "workflow/pkg_download_state.h"

#include "base/log.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "base/text.h"
#include "install/drive_queries.h"
#include "install/install_config.h"
#include "workflow/package_url.h"
#include "workflow/version_number.h"

PkgDownloadState::PkgDownloadState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kProgress) {}

Transition PkgDownloadState::Begin(DownloadTask& task) {
  const InstallConfig& config = *context->config;
  ShowStatus(L"正在准备客户端资源，请稍后...");
  reportQos(*context->qos, qos::kDownloadPkgStart);
  Log("enter download client state");
  task.localPath = config.GetPkgDownloadPath();
  // The archive stays resumable until it has been unpacked, so that a later
  // run sees a kept archive whole instead of fetching it again.
  task.resumableAfterSuccess = true;
  std::string url;
  std::string error;
  if (!FormatPackageUrl(config.pkgUrl, ReadVersionNumber(config.serverVersion), url, error)) {
    // A pattern we refuse fails like a download that went wrong, so the
    // report, the message and the micro-client fallback are the same.
    task.error = Log("%s", error.c_str());
    task.finished = 1;
    return Transition::Stay();
  }
  Fetch("download client zip", url, task);
  return Transition::Stay();
}

Transition PkgDownloadState::Watch(DownloadTask& task) {
  int64_t total = task.total.load();
  if (total <= 1 || total == checkedTotal) return Transition::Stay();
  checkedTotal = total;
  // What is still to come must fit; the bytes already on disk are counted.
  int64_t needed = total - task.received.load();
  uint64_t available = 0;
  if (needed <= 0 || !CurrentDriveQueries().FreeBytes(context->config->installDir, available) ||
      static_cast<uint64_t>(needed) <= available)
    return Transition::Stay();
  std::string text = base::Utf8(DiskSpaceText(needed, static_cast<int64_t>(available)));
  Log("PkgDownloadState: %lld bytes still to download, %llu free on the install drive",
      static_cast<long long>(needed), static_cast<unsigned long long>(available));
  reportQos(*context->qos, qos::kDownloadPkgFailed);
  // The state and its download end here. The message is logged only where
  // the player sees it.
  if (context->config->weiduanShortcut) return Transition::Fail(text);
  return Transition::Fail(Log("%s", text.c_str()));
}

Transition PkgDownloadState::Failed(DownloadTask& task) {
  reportQos(*context->qos, qos::kDownloadPkgFailed);
  return Transition::Fail(Log("下载游戏包失败！[error:%s]", task.error.c_str()));
}

Transition PkgDownloadState::Succeeded(DownloadTask&) {
  // With a published checksum the package counts as downloaded only once it
  // matches; the checksum step reports the outcome.
  if (!context->config->pkgSha256.empty()) return Transition::Done(Exit::kNeedsChecksum);
  reportQos(*context->qos, qos::kDownloadPkgOk);
  return Transition::Done();
}
