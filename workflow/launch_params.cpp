#include "workflow/launch_params.h"

#include <cstdio>

namespace launch {

std::string QosTail(int32_t qosStartAt, const std::string& qosSeq) {
  char buffer[1024];
  int n = std::snprintf(buffer, sizeof buffer, "&qosStartAt=%d&qosSeq=%s", static_cast<int>(qosStartAt),
                        qosSeq.c_str());
  return n < 0 ? std::string() : std::string(buffer);
}

std::wstring GameParams(const std::wstring& userInfo, const std::wstring& shellPath,
                        const std::wstring& cmdKey, const std::wstring& qosTail) {
  std::wstring params = userInfo + L"&shell=" + shellPath + L"&wdver=2&cmdKey=" + cmdKey + qosTail;
  // The game client reads blank-separated key:value words; the user info and
  // the path are folded the same way, without quoting.
  for (wchar_t& c : params) {
    if (c == L'&')
      c = L' ';
    else if (c == L'=')
      c = L':';
  }
  return params;
}

std::wstring ShellParams(const std::wstring& platform, bool hasUserInfo, const std::wstring& cmdKey) {
  if (!hasUserInfo) return platform;
  return platform + L" hide cmd" + cmdKey;
}

}  // namespace launch
