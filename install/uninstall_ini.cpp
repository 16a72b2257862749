#include "install/uninstall_ini.h"

namespace {

constexpr char kSection[] = "uninstall";

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

std::string TrimBlanks(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

}  // namespace

std::string FormatUninstallIni(const UninstallIni& ini) {
  return "[uninstall]\r\n"
         "desktopLink=" + ini.desktopLink + "\r\n"
         "installName=" + ini.installName + "\r\n"
         "regPath=" + ini.regPath + "\r\n";
}

UninstallIni ParseUninstallIni(const std::string& text) {
  UninstallIni ini;
  bool haveLink = false, haveName = false, havePath = false;
  bool inSection = false;
  size_t pos = 0;
  // A byte-order mark is not ours, but an editor may add one.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    std::string trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (trimmed[0] == '[') {
      size_t close = trimmed.find(']');
      inSection = close != std::string::npos &&
                  EqualsIgnoringAsciiCase(TrimBlanks(trimmed.substr(1, close - 1)), kSection);
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = TrimBlanks(line.substr(0, eq));
    // Values are taken exactly as written: the writer puts no blanks around
    // "=", and a name may legitimately end in a blank.
    std::string value = line.substr(eq + 1);
    if (!haveLink && EqualsIgnoringAsciiCase(key, "desktopLink")) {
      ini.desktopLink = value;
      haveLink = true;
    } else if (!haveName && EqualsIgnoringAsciiCase(key, "installName")) {
      ini.installName = value;
      haveName = true;
    } else if (!havePath && EqualsIgnoringAsciiCase(key, "regPath")) {
      ini.regPath = value;
      havePath = true;
    }
  }
  return ini;
}
