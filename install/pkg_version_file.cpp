#include "install/pkg_version_file.h"

#include "base/fs.h"
#include "install/install_config.h"

bool ReadPkgVersionFile(const InstallConfig& config, std::string* text) {
  text->clear();
  const std::wstring path = config.GetPkgVerPath();
  if (!base::PathExists(path)) return false;
  base::ReadWholeFile(path, *text);
  return true;
}

bool WritePkgVersionFile(const InstallConfig& config, const std::string& version) {
  std::string text;
  text.reserve(version.size() + 8);
  for (char c : version) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return base::WriteWholeFile(config.GetPkgVerPath(), text);
}
