#include "workflow/download_pkg_ver_state.h"

#include "base/log.h"
#include "base/fs.h"
#include "base/strings.h"
#include "base/text.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "install/pkg_version_file.h"
#include "workflow/signed_config.h"
#include "workflow/start_requests.h"
#include "workflow/version_number.h"

DownloadPkgVerState::DownloadPkgVerState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}  // no bar for a few bytes of text

Transition DownloadPkgVerState::Begin(DownloadTask& task) {
  ShowStatus(L"正在检查客户端版本信息，请稍后...");
  Log("enter DownloadPkgVerState");
  // No local path: the version text stays in memory.
  if (!TakePrefetched(kPkgVerPrefetchKey))
    Fetch("download pkg ver", PkgVerRequestUrl(*context->config), task, body_limit::kVersion);
  return Transition::Stay();
}

Transition DownloadPkgVerState::Failed(DownloadTask& task) { return FailedWith(task.error); }

Transition DownloadPkgVerState::Succeeded(DownloadTask& task) {
  InstallConfig& config = *context->config;
  if (!config.pkgVersion.empty()) {
    // The version answer is not signed; the configuration's version is. An
    // answer of 0 would hold every update back, a higher one pin the
    // installation to it: only the signed version goes on, and "pkg.ver"
    // is later written from it.
    std::string mismatch = SignedVersionMismatch(task.BodyText(), ReadVersionNumber(config.pkgVersion));
    if (!mismatch.empty()) return FailedWith(mismatch);
    config.serverVersion = config.pkgVersion;
  } else {
    config.serverVersion = task.BodyText();
  }
  return Compare();
}

Transition DownloadPkgVerState::FailedWith(const std::string& error) {
  return Transition::Fail(Log("下载版本号失败！[error:%s]", error.c_str()));
}

// The micro-client's package is fetched on every run.
Transition DownloadPkgVerState::Compare() {
  const InstallConfig& config = *context->config;
  if (config.weiduanShortcut) return Transition::Done();
  std::string localText;
  if (!ReadPkgVersionFile(config, &localText)) {
    Log("local version file[%s] not exist!", base::Utf8(config.GetPkgVerPath()).c_str());
    return Transition::Done();
  }
  int32_t local = ReadVersionNumber(localText);
  int32_t server = ReadVersionNumber(config.serverVersion);
  Log("server version: %d, local version: %d", server, local);
  // Only a newer server version is fetched; an older one never replaces the game.
  if (local >= server) return Transition::Done(Exit::kUpToDate);
  // With a manifest the update state picks the road and says which.
  if (config.pkgManifestSha256.empty()) Log("update by the whole package: no manifest in the configuration");
  return Transition::Done();
}
