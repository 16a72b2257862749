#include "workflow/download_launcher_logo.h"

#include <windows.h>

#include "base/log.h"
#include "ui/loading_page.h"
#include "workflow/downloaded_file.h"
#include "install/browser_plugin.h"
#include "install/install_config.h"
#include "install/url_protocol.h"

namespace {

// Registration runs at most once per process, even if this state were entered twice.
bool registrationDone = false;

}  // namespace

// The page is neither fed nor repainted while the logo downloads.
DownloadLauncherLogo::DownloadLauncherLogo(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kNothing) {}

Transition DownloadLauncherLogo::Begin(DownloadTask& task) {
  Log("enter download launcher logo state");
  ShowStatus(L"正在下载微端资源，请稍后...");
  // A configuration without a logo names no server: an empty URL would be
  // fetched from the player's own machine (port 80) and, being a file
  // download, retried for a minute before the run went on.
  if (context->config->launcherLogo.empty()) {
    Log("no launcher logo configured");
    return Finish();
  }
  wchar_t temp[1024] = {};
  DWORD length = GetTempPathW(1024, temp);
  if (length == 0 || length >= 1024) return Finish();
  // The temporary folder ends in a backslash; the logo name keeps its own
  // forward slash, which the file APIs accept as a second separator.
  task.localPath = std::wstring(temp) + L"/vorn-logo.png";
  Fetch("download launcher logo", context->config->launcherLogo, task);
  return Transition::Stay();
}

Transition DownloadLauncherLogo::Succeeded(DownloadTask& task) {
  // Only the published picture reaches the image decoder. Any other is
  // dropped and the splash keeps its own artwork: a logo is not worth a
  // failed install.
  const InstallConfig& config = *context->config;
  std::string error;
  if (!config.launcherLogoSha256.empty() &&
      !FileHasSha256(task.localPath, config.launcherLogoSha256, config.launcherLogo, &error)) {
    Log("launcher logo not shown: %s", error.c_str());
    DeleteFileW(task.localPath.c_str());
    return Finish();
  }
  // The page decodes the picture when it next draws, not here: the
  // workflow goes on at once.
  if (context->page)
    context->page->SetLogoFile(task.localPath);
  else
    context->logoFileForPage = task.localPath;
  return Finish();
}

// A missing logo costs nothing but the picture.
Transition DownloadLauncherLogo::Failed(DownloadTask&) { return Finish(); }

// The micro-client registers its installation its own way, later.
Transition DownloadLauncherLogo::Finish() {
  const InstallConfig& config = *context->config;
  // An existing protocol key means an earlier run registered everything.
  if (!config.weiduanShortcut && !registrationDone && !UrlProtocolRegistered(config.installName)) {
    registrationDone = true;
    RegisterBrowserPlugin(context->instance, config);
    RegisterUrlProtocol(config);
  }
  return Transition::Done();
}
