#include "base/strings.h"

#include <ctime>

namespace base {

void Split(const std::string& text, const std::string& separator, std::vector<std::string>& out) {
  if (separator.empty()) {
    if (!text.empty()) out.push_back(text);
    return;
  }
  size_t p = 0;
  for (size_t i = text.find(separator, p); i != std::string::npos; i = text.find(separator, p)) {
    out.push_back(text.substr(p, i - p));
    p = i + separator.size();
  }
  if (p != text.size()) out.push_back(text.substr(p));
}

std::string TimestampText() { return std::to_string(static_cast<long long>(std::time(nullptr))); }

static size_t LastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }

std::wstring FileNamePart(const std::wstring& path) {
  size_t i = LastSeparator(path);
  return i == std::wstring::npos ? path : path.substr(i + 1);
}

std::wstring DirectoryPart(const std::wstring& path) {
  size_t i = LastSeparator(path);
  return i == std::wstring::npos ? std::wstring() : path.substr(0, i);
}

std::wstring Stem(const std::wstring& path) {
  std::wstring name = FileNamePart(path);
  size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring JoinPath(const std::wstring& dir, const std::wstring& name) {
  if (dir.empty()) return name;
  wchar_t last = dir.back();
  if (last == L'\\' || last == L'/') return dir + name;
  return dir + L"\\" + name;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace base
