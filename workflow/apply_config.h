#pragma once
// The install configuration as a value: the downloaded text read into a
// record of its own, which the run takes over only once it is usable.
#include <string>

#include "install/install_config.h"
#include "workflow/signed_config.h"

// What one configuration text says, or why the run cannot use it.
struct InstallConfigParse {
  // The message the box shows ("解析安装配置失败！[error:...]" or, for a
  // launcher that demands a signed configuration, "验证安装配置失败！[error:...]");
  // empty when the text is usable.
  std::string error;
  // A default record with the configuration's values over it.
  InstallConfig config;
  // The signed values, filled when `demandSigned` and the text passes.
  SignedValues signedValues;
};

// Reads `text` (up to its first zero byte, as a C string would): the
// "common" section, then the section named `platformUtf8`, key by key: a
// non-empty value replaces the field, an empty or absent one leaves it. The
// two flags are true only for exactly "1"; pkgKeepLocal is read as a whole
// value (ParseKeepLocal) the same way. Refused, in this order: text that
// is no configuration, a bad checksum key, (with `demandSigned`) anything a
// launcher with a publisher key demands (see signed_config.h; pkgVersion is
// then filled), and a name pasted into a path that is not one plain file name.
InstallConfigParse ParseInstallConfig(const std::string& text, const std::string& platformUtf8,
                                      bool demandSigned = false);

// Copies every value the configuration sets (its keys, the checksums and the
// signed package version) from `published` into `config`, whose other fields
// (the launch identity, the install folder) stay as they are.
void TakePublishedValues(const InstallConfig& published, InstallConfig& config);

// Empty when every name that is pasted into a path (installName, pkgName,
// weiduanShell, weiduanCfg, weiduanName) is unset or one plain file name;
// otherwise "bad <key>: <value>" for the first that is not.
std::string BadConfigName(const InstallConfig& config);
