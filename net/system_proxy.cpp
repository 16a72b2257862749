#include "net/system_proxy.h"

#include <windows.h>
#include <winhttp.h>

#include <mutex>

#include "base/handles.h"
#include "base/log.h"
#include "base/text.h"

namespace {

struct InternetTraits : base::NullIsEmpty<HINTERNET> {
  static void Close(HINTERNET h) { WinHttpCloseHandle(h); }
};
using UniqueInternet = base::UniqueOwner<HINTERNET, InternetTraits>;

// Strings WinHTTP hands over in GlobalAlloc'ed memory.
std::wstring TakeText(wchar_t*& text) {
  std::wstring value = text ? text : L"";
  if (text) GlobalFree(text);
  text = nullptr;
  return value;
}

struct Settings {
  bool autoDetect = false;
  std::wstring scriptUrl;  // proxy auto-config address
  ProxyChoice fixed;       // the named proxy of the user or the machine
};

Settings ReadSettings() {
  Settings s;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
  if (WinHttpGetIEProxyConfigForCurrentUser(&user)) {
    s.autoDetect = user.fAutoDetect != FALSE;
    s.scriptUrl = TakeText(user.lpszAutoConfigUrl);
    s.fixed.proxy = TakeText(user.lpszProxy);
    s.fixed.bypass = TakeText(user.lpszProxyBypass);
    s.fixed.named = !s.fixed.proxy.empty();
  }
  if (!s.fixed.named) {
    WINHTTP_PROXY_INFO machine{};
    if (WinHttpGetDefaultProxyConfiguration(&machine)) {
      std::wstring proxy = TakeText(machine.lpszProxy);
      std::wstring bypass = TakeText(machine.lpszProxyBypass);
      if (machine.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !proxy.empty()) {
        s.fixed = {true, proxy, bypass};
      }
    }
  }
  Log("proxy settings: auto-detect %d, script \"%s\", proxy \"%s\", bypass \"%s\"",
      s.autoDetect ? 1 : 0, base::Utf8(s.scriptUrl).c_str(), base::Utf8(s.fixed.proxy).c_str(),
      base::Utf8(s.fixed.bypass).c_str());
  return s;
}

std::once_flag g_readOnce;
Settings g_settings;
std::mutex g_scriptLock;
bool g_detectionFailed = false;  // guarded by g_scriptLock
UniqueInternet g_resolver;       // keeps a downloaded proxy script between URLs

// One question to a proxy script for `url`: found by automatic detection
// (`detect`) or at the configured address. False when none answered.
bool AskScript(const std::wstring& url, bool detect, ProxyChoice& choice) {
  if (!g_resolver) {
    g_resolver.Reset(WinHttpOpen(L"vorn-launcher", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!g_resolver) return false;
  }
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (detect) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  } else {
    options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = g_settings.scriptUrl.c_str();
  }
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (!WinHttpGetProxyForUrl(g_resolver.Get(), url.c_str(), &options, &info)) {
    Log("no proxy from the %s: error %lu", detect ? "automatic detection" : "proxy script",
        static_cast<unsigned long>(GetLastError()));
    return false;
  }
  std::wstring proxy = TakeText(info.lpszProxy);
  std::wstring bypass = TakeText(info.lpszProxyBypass);
  choice = ProxyChoice();
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !proxy.empty())
    choice = {true, proxy, bypass};
  return true;
}

// Automatic detection first, then the configured script, as Windows does.
bool ResolveByScript(const std::wstring& url, ProxyChoice& choice) {
  std::lock_guard<std::mutex> hold(g_scriptLock);
  if (g_settings.autoDetect && !g_detectionFailed) {
    if (AskScript(url, true, choice)) return true;
    g_detectionFailed = true;  // a network without a script stays without one
  }
  return !g_settings.scriptUrl.empty() && AskScript(url, false, choice);
}

}  // namespace

ProxyChoice FindProxy(const std::wstring& url) {
  std::call_once(g_readOnce, [] { g_settings = ReadSettings(); });
  ProxyChoice choice;
  if (ResolveByScript(url, choice)) return choice;
  return g_settings.fixed;
}
