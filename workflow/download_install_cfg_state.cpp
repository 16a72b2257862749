#include "workflow/download_install_cfg_state.h"

#include "base/log.h"
#include "base/signature.h"
#include "base/strings.h"
#include "base/text.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "workflow/apply_config.h"
#include "workflow/start_requests.h"
#include "install/config_serial_record.h"
#include "install/install_config.h"

namespace {

// The bytes exactly as received, zero bytes included.
std::string BodyBytes(const DownloadTask& task) {
  return task.body ? std::string(task.body.get(), task.bodySize) : std::string();
}

}  // namespace

DownloadInstallCfgState::DownloadInstallCfgState(LauncherContext* context)
    : DownloadingState(context, PageWhileRunning::kRedraw) {}

Transition DownloadInstallCfgState::Begin(DownloadTask& task) {
  ShowStatus(L"正在检查版本资源，请稍后...");
  Log("enter DownloadConfig ... ");
  // The time parameter keeps caches between us and the server from serving an old file.
  query = "?v=" + base::TimestampText();
  std::string url = context->config->cfgUrl + query;
  Log("url: %s", url.c_str());
  Fetch("download config", url, task, body_limit::kConfiguration);
  return Transition::Stay();
}

Transition DownloadInstallCfgState::Failed(DownloadTask& task) {
  if (fetchingSignature)
    return Transition::Fail(Log("验证安装配置失败！[error:signature not fetched: %s]", task.error.c_str()));
  return Transition::Fail(Log("下载配置失败！[error:%s]", task.error.c_str()));
}

Transition DownloadInstallCfgState::Succeeded(DownloadTask& task) {
  if (!fetchingSignature) {
    Log("enter DownloadConfig succ");
    if (context->publisherKey.empty()) return Apply(BodyBytes(task));
    configBytes = BodyBytes(task);
    FetchSignature(task);
    return Transition::Stay();
  }
  // The signature covers the exact bytes received, so it is checked before
  // anything reads them.
  std::string reason;
  if (!VerifyP256Signature(context->publisherKey, configBytes, BodyBytes(task), &reason))
    return Transition::Fail(Log("验证安装配置失败！[error:%s]", reason.c_str()));
  Log("install configuration signature verified");
  return Apply(configBytes);
}

void DownloadInstallCfgState::FetchSignature(DownloadTask& task) {
  fetchingSignature = true;
  task.Reset();
  std::string url = context->config->cfgUrl + ".sig" + query;
  Log("signature url: %s", url.c_str());
  Fetch("download config signature", url, task, body_limit::kSignature);
}

Transition DownloadInstallCfgState::Apply(const std::string& bytes) {
  const bool keyed = !context->publisherKey.empty();
  InstallConfigParse parse =
      ParseInstallConfig(bytes, base::ToNarrow(context->config->platform, base::kCodePageUtf8), keyed);
  if (!parse.error.empty()) return Transition::Fail(Log("%s", parse.error.c_str()));
  if (keyed) {
    std::string refusal = SerialRefusal(parse.config.installName, parse.signedValues.configSerial);
    if (!refusal.empty()) return Transition::Fail(refusal);
  }
  InstallConfig& config = *context->config;
  TakePublishedValues(parse.config, config);
  if (!config.qosUrl.empty()) {
    Log("qosUrl: %s", config.qosUrl.c_str());
    context->qos->url = config.qosUrl;
    reportQos(*context->qos, qos::kTokenstart);
  }

  if (!config.InitInstallDir()) return Transition::Fail(Log("创建本地游戏文件夹失败！"));
  Log("DownloadInstallCfgState::NextState...");
  PrefetchStartRequests();
  return Transition::Done();
}

// A genuinely signed configuration stays genuine for ever: only its serial,
// against the highest this user has accepted, tells a current one from one
// served again. An equal serial is the same configuration fetched again.
std::string DownloadInstallCfgState::SerialRefusal(const std::wstring& installName, uint64_t offered) {
  uint64_t accepted = 0;
  SerialRecord record = ReadAcceptedSerial(installName, &accepted);
  if (record == SerialRecord::kUnreadable)
    Log("config serial: the kept value under HKCU\\%s is not a serial, replaced",
        base::Utf8(ConfigSerialKeyPath(installName)).c_str());
  if (record == SerialRecord::kFound && offered < accepted)
    return Log("验证安装配置失败！[error:configuration serial %llu is older than %llu]",
               static_cast<unsigned long long>(offered), static_cast<unsigned long long>(accepted));
  Log("configuration serial %llu accepted", static_cast<unsigned long long>(offered));
  if (record != SerialRecord::kFound || offered > accepted) WriteAcceptedSerial(installName, offered);
  return std::string();
}

// The player and the server's version are asked for while the logo comes:
// neither answer depends on it, and each request costs a round trip of its
// own. The states that need the answers take the requests over in their
// turn. The micro-client's shell goes its own way and asks later.
void DownloadInstallCfgState::PrefetchStartRequests() {
  const InstallConfig& config = *context->config;
  if (config.weiduanShortcut) return;
  if (config.userInfo.empty() && !config.token.empty())
    context->prefetches.Start(kUserInfoPrefetchKey, "get user login info state", UserInfoRequestUrl(config),
                              body_limit::kText, context->wake);
  context->prefetches.Start(kPkgVerPrefetchKey, "download pkg ver", PkgVerRequestUrl(config), body_limit::kVersion,
                            context->wake);
}
