#include "workflow/start_requests.h"

#include "base/strings.h"
#include "base/text.h"
#include "install/install_config.h"

std::string UserInfoRequestUrl(const InstallConfig& config) { return config.tokensvr + base::Utf8(config.token); }

std::string PkgVerRequestUrl(const InstallConfig& config) {
  return config.minverUrl + "?v=" + base::TimestampText();
}
