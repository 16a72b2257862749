#include "support/game_server.h"

#include <httplib.h>
#include <windows.h>

#include <cstdlib>

#include "base/fs.h"
#include "base/strings.h"
#include "base/text.h"
#include "support/log_reader.h"
#include "support/wine_path.h"

namespace gameserver {

namespace {

std::vector<std::string> NonEmptyLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::string& line : support::Lines(text))
    if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  base::Split(line, "\t", fields);
  return fields;
}

}  // namespace

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

int ServerPort() { return std::atoi(Env("VORN_SERVER_PORT").c_str()); }

std::string ServerUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(ServerPort()) + path;
}

int ServerTlsPort() { return std::atoi(Env("VORN_SERVER_TLS_PORT").c_str()); }

std::string ServerBadTlsUrl(BadCertificate which, const std::string& path) {
  return "https://localhost:" + std::to_string(ServerTlsPort() + static_cast<int>(which)) + path;
}

std::string ServerTlsUrl(const std::string& path) {
  return "https://localhost:" + std::to_string(ServerTlsPort()) + path;
}

std::wstring ServerRoot() { return support::WinePath(Env("VORN_SERVER_ROOT")); }
std::wstring ServerLogs() { return support::WinePath(Env("VORN_SERVER_LOGS")); }

bool Get(const std::string& pathAndQuery, std::string* body) {
  httplib::Client client("127.0.0.1", ServerPort());
  auto res = client.Get(pathAndQuery.c_str());
  if (!res || res->status < 200 || res->status > 299) return false;
  if (body) *body = res->body;
  return true;
}

bool AddFault(const std::string& path, const std::string& fault) {
  return Get("/__control/fault?path=" + path + "&" + fault);
}

bool ResetFaults() { return Get("/__control/reset"); }

bool Publish(const std::string& path, const std::string& bytes) {
  std::wstring full = ServerRoot() + base::ToWide(path);
  for (wchar_t& c : full)
    if (c == L'/') c = L'\\';
  if (base::CreateDirectoryTree(base::DirectoryPart(full)) != 0) return false;
  return base::WriteWholeFile(full, bytes);
}

int ProxyPort() { return ServerPort() ? ServerPort() + 5 : 0; }

std::vector<std::string> ProxyRequests() {
  std::string text;
  if (!base::ReadWholeFile(ServerLogs() + L"\\proxy.log", text)) return {};
  return NonEmptyLines(text);
}

std::vector<RequestLine> Requests(const std::string& pathPrefix) {
  std::string text;
  std::vector<RequestLine> out;
  if (!Get("/__control/requests", &text)) return out;
  // time, method, target, status, length=, range=, fault=, if_range=, peer=
  for (const std::string& line : NonEmptyLines(text)) {
    std::vector<std::string> f = Fields(line);
    if (f.size() < 7 || !base::StartsWith(f[2], pathPrefix)) continue;
    RequestLine r;
    r.target = f[2];
    r.status = std::atoi(f[3].c_str());
    r.range = f[5].substr(6);
    r.fault = f[6].substr(6);
    r.length = f[4].substr(7);
    if (f.size() >= 9) {
      r.ifRange = f[7].substr(9);
      r.peer = std::atoi(f[8].substr(5).c_str());
    }
    out.push_back(r);
  }
  return out;
}

std::vector<std::string> QosLines() {
  std::string text;
  if (!Get("/__control/qos", &text)) return {};
  return NonEmptyLines(text);
}

std::string QosField(const std::string& line, const std::string& key) {
  for (const std::string& field : Fields(line))
    if (base::StartsWith(field, key + "=")) return field.substr(key.size() + 1);
  return std::string();
}

std::string TestBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return bytes;
}

std::vector<RequestLine> RangedRequests(const std::string& pathPrefix) {
  std::vector<RequestLine> ranged;
  for (const RequestLine& line : Requests(pathPrefix))
    if (line.range != "-") ranged.push_back(line);
  return ranged;
}

}  // namespace gameserver
