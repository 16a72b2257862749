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

DownloadInstallCfgState::DownloadInstallCfgState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}

void DownloadInstallCfgState::Begin(DownloadTask& task) {
  ShowStatus(L"正在检查版本资源，请稍后...");
  Log("enter DownloadConfig ... ");
  // The time parameter keeps caches between us and the server from serving an old file.
  std::string url = context->config->cfgUrl + "?v=" + base::TimestampText();
  Log("url: %s", url.c_str());
  Fetch("download config", url, task);
}

void DownloadInstallCfgState::Failed(DownloadTask& task) {
  TransitionTo<ErrorState>(context, Log("下载配置失败！[error:%s]", task.error.c_str()));
}

void DownloadInstallCfgState::Succeeded(DownloadTask& task) {
  Log("enter DownloadConfig succ");
  IniFile ini(task.BodyText());
  if (!ini.error.empty()) {
    TransitionTo<ErrorState>(context, Log("解析安装配置失败！[error:%s]", ini.error.c_str()));
    return;
  }

  InstallConfig& config = *context->config;
  ApplyConfig(ini, base::ToNarrow(config.platform, base::kCodePageUtf8), config);
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
