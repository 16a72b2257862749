#include "install/install_config.h"

InstallConfig& TheInstallConfig() {
  static InstallConfig config;
  return config;
}
