#include "install/install_id.h"

std::string InstallIdFromBytes(const unsigned char (&bytes)[16]) {
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(kInstallIdDigits);
  for (unsigned char b : bytes) {
    id += kHex[b >> 4];
    id += kHex[b & 15];
  }
  return id;
}

std::string InstallIdFromFileText(const std::string& text) {
  std::string id = text;
  if (id.size() >= 2 && id.compare(id.size() - 2, 2, "\r\n") == 0)
    id.resize(id.size() - 2);
  else if (!id.empty() && id.back() == '\n')
    id.pop_back();
  return IsInstallId(id) ? id : std::string();
}

bool IsInstallId(const std::string& text) {
  if (text.size() != kInstallIdDigits) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}
