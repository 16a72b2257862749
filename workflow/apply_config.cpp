#include "workflow/apply_config.h"

#include <utility>

#include "base/file_name_rules.h"
#include "base/text.h"
#include "workflow/ini_file.h"
#include "install/install_config.h"
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

}  // namespace

void ApplyConfig(const IniFile& ini, const std::string& platformUtf8, InstallConfig& config) {
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
