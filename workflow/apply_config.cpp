#include "workflow/apply_config.h"

#include <utility>

#include "base/file_name_rules.h"
#include "base/text.h"
#include "workflow/checksum_keys.h"
#include "workflow/ini_file.h"
#include "install/keep_local.h"

namespace {

// One configuration key and the field it fills; exactly one member pointer is set.
struct ConfigKey {
  const char* name;
  std::wstring InstallConfig::*wide;
  std::string InstallConfig::*narrow;
  bool InstallConfig::*flag;
};

constexpr ConfigKey Wide(const char* name, std::wstring InstallConfig::*field) {
  return {name, field, nullptr, nullptr};
}
constexpr ConfigKey Narrow(const char* name, std::string InstallConfig::*field) {
  return {name, nullptr, field, nullptr};
}
constexpr ConfigKey Flag(const char* name, bool InstallConfig::*field) {
  return {name, nullptr, nullptr, field};
}

const ConfigKey kKeys[] = {
    Wide("installName", &InstallConfig::installName),
    Wide("weiduanName", &InstallConfig::weiduanName),
    Narrow("weiduanUrl", &InstallConfig::weiduanUrl),
    Narrow("weiduanCfgUrl", &InstallConfig::weiduanCfgUrl),
    Narrow("tokensvr", &InstallConfig::tokensvr),
    Narrow("minverUrl", &InstallConfig::minverUrl),
    Narrow("pkgUrl", &InstallConfig::pkgUrl),
    Narrow("pkgManifestUrl", &InstallConfig::pkgManifestUrl),
    Wide("pkgName", &InstallConfig::pkgName),
    Wide("weiduanShell", &InstallConfig::weiduanShell),
    Wide("weiduanVer", &InstallConfig::weiduanVer),
    Wide("weiduanCfg", &InstallConfig::weiduanCfg),
    Flag("weiduanShortcut", &InstallConfig::weiduanShortcut),
    Flag("weiduanNeedAdmin", &InstallConfig::weiduanNeedAdmin),
    Narrow("qosUrl", &InstallConfig::qosUrl),
    Narrow("launcherLogo", &InstallConfig::launcherLogo),
};

void ReadKeys(const IniFile& ini, const std::string& platformUtf8, InstallConfig& config) {
  // The platform's section is read second so that it overrides "common" key
  // by key; an empty value counts as "not set" and never clears a field.
  for (const std::string& section : {std::string("common"), platformUtf8}) {
    for (const ConfigKey& key : kKeys) {
      std::string value = ini.Get(section, key.name, "");
      if (value.empty()) continue;
      if (key.wide)
        config.*key.wide = base::ToWide(value, base::kCodePageUtf8);
      else if (key.narrow)
        config.*key.narrow = value;
      else
        config.*key.flag = value == "1";
    }
    std::string keepLocal = ini.Get(section, "pkgKeepLocal", "");
    if (!keepLocal.empty()) config.pkgKeepLocal = ParseKeepLocal(keepLocal);
  }
}

void TakeChecksums(const ChecksumKeys& checksums, InstallConfig& config) {
  if (!checksums.pkgSha256.empty()) config.pkgSha256 = checksums.pkgSha256;
  if (!checksums.weiduanSha256.empty()) config.weiduanSha256 = checksums.weiduanSha256;
  if (!checksums.weiduanCfgSha256.empty()) config.weiduanCfgSha256 = checksums.weiduanCfgSha256;
  if (!checksums.launcherLogoSha256.empty()) config.launcherLogoSha256 = checksums.launcherLogoSha256;
  if (!checksums.pkgManifestSha256.empty()) config.pkgManifestSha256 = checksums.pkgManifestSha256;
}

std::string Refused(const char* what, const std::string& reason) {
  return std::string(what) + "[error:" + reason + "]";
}

constexpr char kUnreadable[] = "解析安装配置失败！";
constexpr char kUnsigned[] = "验证安装配置失败！";

}  // namespace

InstallConfigParse ParseInstallConfig(const std::string& text, const std::string& platformUtf8, bool demandSigned) {
  InstallConfigParse parse;
  IniFile ini(text.substr(0, text.find('\0')));
  if (!ini.error.empty()) {
    parse.error = Refused(kUnreadable, ini.error);
    return parse;
  }
  ChecksumKeys checksums;
  std::string error;
  if (!ReadChecksumKeys(ini, platformUtf8, &checksums, &error)) {
    parse.error = Refused(kUnreadable, error);
    return parse;
  }
  // A launcher with a publisher key uses a signed configuration only when
  // it covers every file fetched later and names its package version.
  if (demandSigned) {
    std::string refusal = SignedConfigRefusal(ini, platformUtf8, &parse.signedValues);
    if (!refusal.empty()) {
      parse.error = Refused(kUnsigned, refusal);
      return parse;
    }
    parse.config.pkgVersion = std::to_string(parse.signedValues.pkgVersion);
  }
  ReadKeys(ini, platformUtf8, parse.config);
  TakeChecksums(checksums, parse.config);
  std::string badName = BadConfigName(parse.config);
  if (!badName.empty()) parse.error = Refused(kUnreadable, badName);
  return parse;
}

void TakePublishedValues(const InstallConfig& published, InstallConfig& config) {
  for (const ConfigKey& key : kKeys) {
    if (key.wide)
      config.*key.wide = published.*key.wide;
    else if (key.narrow)
      config.*key.narrow = published.*key.narrow;
    else
      config.*key.flag = published.*key.flag;
  }
  config.pkgSha256 = published.pkgSha256;
  config.weiduanSha256 = published.weiduanSha256;
  config.weiduanCfgSha256 = published.weiduanCfgSha256;
  config.launcherLogoSha256 = published.launcherLogoSha256;
  config.pkgManifestSha256 = published.pkgManifestSha256;
  config.pkgKeepLocal = published.pkgKeepLocal;
  config.pkgVersion = published.pkgVersion;
}

std::string BadConfigName(const InstallConfig& config) {
  // Each of these is appended to the install folder (or the desktop folder)
  // as it stands: a separator or ".." would write, start or later delete
  // files elsewhere.
  const std::pair<const char*, const std::wstring*> names[] = {
      {"installName", &config.installName}, {"pkgName", &config.pkgName},
      {"weiduanShell", &config.weiduanShell}, {"weiduanCfg", &config.weiduanCfg},
      {"weiduanName", &config.weiduanName},
  };
  for (const auto& name : names) {
    if (name.second->empty() || base::IsPlainFileName(*name.second)) continue;
    return std::string("bad ") + name.first + ": " + base::ToNarrow(*name.second, base::kCodePageUtf8);
  }
  return std::string();
}
