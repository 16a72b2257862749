#include "workflow/download_pkg_ver_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "base/fs.h"
#include "base/strings.h"
#include "base/text.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "workflow/load_state.h"
#include "workflow/pkg_download_state.h"
#include "workflow/signed_config.h"
#include "workflow/version_number.h"

DownloadPkgVerState::DownloadPkgVerState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}  // no bar for a few bytes of text

void DownloadPkgVerState::Begin(DownloadTask& task) {
  ShowStatus(L"正在检查客户端版本信息，请稍后...");
  Log("enter DownloadPkgVerState");
  if (TakePrefetched(kPrefetchKey)) return;
  // No local path: the version text stays in memory.
  Fetch("download pkg ver", RequestUrl(*context->config), task, body_limit::kVersion);
}

// The time parameter keeps caches between us and the server from answering
// with an old version.
std::string DownloadPkgVerState::RequestUrl(const InstallConfig& config) {
  return config.minverUrl + "?v=" + base::TimestampText();
}

void DownloadPkgVerState::Failed(DownloadTask& task) { OnFailed(task.error); }

void DownloadPkgVerState::Succeeded(DownloadTask& task) {
  InstallConfig& config = *context->config;
  if (!config.pkgVersion.empty()) {
    // The version answer is not signed; the configuration's version is. An
    // answer of 0 would hold every update back, a higher one pin the
    // installation to it: only the signed version goes on, and "pkg.ver"
    // is later written from it.
    std::string mismatch = SignedVersionMismatch(task.BodyText(), ReadVersionNumber(config.pkgVersion));
    if (!mismatch.empty()) {
      OnFailed(mismatch);
      return;
    }
    config.serverVersion = config.pkgVersion;
  } else {
    config.serverVersion = task.BodyText();
  }
  NextState();
}

void DownloadPkgVerState::OnFailed() { OnFailed(context->download->error); }

void DownloadPkgVerState::OnFailed(const std::string& error) {
  LauncherContext* ctx = context;
  std::string text = Log("下载版本号失败！[error:%s]", error.c_str());
  if (ctx->config->weiduanShortcut) {
    // The micro-client shell starts without a user rather than not at all.
    ctx->config->userInfo.clear();
    TransitionTo<LoadState>(ctx);
    return;
  }
  TransitionTo<ErrorState>(ctx, text);
}

void DownloadPkgVerState::NextState() {
  LauncherContext* ctx = context;
  const InstallConfig& config = *ctx->config;
  if (config.weiduanShortcut) {
    TransitionTo<PkgDownloadState>(ctx);
    return;
  }
  std::wstring path = config.GetPkgVerPath();
  if (!base::PathExists(path)) {
    Log("local version file[%s] not exist!", base::Utf8(path).c_str());
    TransitionTo<PkgDownloadState>(ctx);
    return;
  }
  std::string localText;
  base::ReadWholeFile(path, localText);  // unreadable reads as empty, that is version 0
  int32_t local = ReadVersionNumber(localText);
  int32_t server = ReadVersionNumber(config.serverVersion);
  Log("server version: %d, local version: %d", server, local);
  // Only a newer server version is fetched; an older one never replaces the game.
  if (local < server)
    TransitionTo<PkgDownloadState>(ctx);
  else
    TransitionTo<LoadState>(ctx);
}
