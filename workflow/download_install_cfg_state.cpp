#include "workflow/download_install_cfg_state.h"

#include "base/log.h"
#include "workflow/terminal_states.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "workflow/apply_config.h"
#include "workflow/download_launcher_logo.h"
#include "workflow/ini_file.h"
#include "install/install_config.h"

DownloadInstallCfgState::DownloadInstallCfgState(LauncherContext* context) : State(context) {}

// Waits for the (already finished) request thread before the jobs go away.
DownloadInstallCfgState::~DownloadInstallCfgState() { StopAll(jobs); }

void DownloadInstallCfgState::Update() {
  if (!started) {
    started = true;
    if (context->page) context->page->SetStatusText(L"正在检查版本资源，请稍后...");
    Log("enter DownloadConfig ... ");
    // The first state owns the creation of the one task every later state reuses.
    if (!context->download)
      context->download = new DownloadTask();
    else
      context->download->Reset();
    // The time parameter keeps caches between us and the server from serving an old file.
    std::string url = context->config->cfgUrl + "?v=" + base::TimestampText();
    Log("url: %s", url.c_str());
    StartDownload(jobs, "download config", url, context->download);
    return;
  }

  DownloadTask* task = context->download;
  if (task->finished == 0) {
    // No progress bar for this small download: the page is only kept alive.
    if (context->page) context->page->Redraw();
    return;
  }
  if (!task->error.empty()) {
    TransitionTo<ErrorState>(context, Log("下载配置失败！[error:%s]", task->error.c_str()));
    return;
  }
  Log("enter DownloadConfig succ");
  IniFile ini(task->BodyText());
  if (!ini.error.empty()) {
    TransitionTo<ErrorState>(context, Log("解析安装配置失败！[error:%s]", ini.error.c_str()));
    return;
  }

  InstallConfig& config = *context->config;
  ApplyConfig(ini, base::ToNarrow(config.platform, base::kCodePageUtf8), config);
  std::string badName = BadConfigName(config);
  if (!badName.empty()) {
    TransitionTo<ErrorState>(context, Log("解析安装配置失败！[error:%s]", badName.c_str()));
    return;
  }
  if (!config.qosUrl.empty()) {
    Log("qosUrl: %s", config.qosUrl.c_str());
    QosReporter& qos = context->qos ? *context->qos : TheQosReporter();
    qos.url = config.qosUrl;
    reportQos(3, "Tokenstart");
  }

  if (config.InitInstallDir()) {
    Log("DownloadInstallCfgState::NextState...");
    NextState();
  } else {
    TransitionTo<ErrorState>(context, Log("创建本地游戏文件夹失败！"));
  }
}

void DownloadInstallCfgState::NextState() { TransitionTo<DownloadLauncherLogo>(context); }
