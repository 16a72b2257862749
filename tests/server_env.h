#pragma once
// Where the local game server of the CTest fixture "game_server" runs. CTest
// hands its port and folders over as Unix paths in VORN_SERVER_PORT,
// VORN_SERVER_ROOT (publish folder) and VORN_SERVER_LOGS (requests.log,
// qos.log); under wine a Unix path is "Z:" + the path with backslashes.
#include <cstdlib>
#include <string>

#include "base/text.h"

namespace testenv {

inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// 0 when the test runs outside the fixture.
inline int ServerPort() { return std::atoi(Env("VORN_SERVER_PORT").c_str()); }

// "http://127.0.0.1:<port>" + path.
inline std::string ServerUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(ServerPort()) + path;
}

// The HTTPS listener of the same server (0 outside the fixture). Its
// certificate names "localhost", from a test CA the fixture makes trusted.
inline int ServerTlsPort() { return std::atoi(Env("VORN_SERVER_TLS_PORT").c_str()); }

// "https://localhost:<tls port>" + path.
inline std::string ServerTlsUrl(const std::string& path) {
  return "https://localhost:" + std::to_string(ServerTlsPort()) + path;
}

inline std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = L"Z:" + base::ToWide(unixPath);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

inline std::wstring ServerRoot() { return WinePath(Env("VORN_SERVER_ROOT")); }
inline std::wstring ServerLogs() { return WinePath(Env("VORN_SERVER_LOGS")); }

}  // namespace testenv
