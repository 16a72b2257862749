// Downloads over HTTPS from the local game server's TLS listener, whose
// certificate for "localhost" comes from the fixture's test CA: what only
// https has (certificates, redirects between the schemes, proxies) and whole
// launcher runs. The rules both schemes share are in download_task_test.cpp.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "base/fs.h"
#include "base/strings.h"
#include "base/text.h"
#include "download_fixture.h"
#include "game_publication.h"
#include "net/download_task.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/scratch_folder.h"
#include "state_driver.h"
#include "support/registry.h"
#include "support/remove_tree.h"
#include "test_game.h"
#include "workflow/download_install_cfg_state.h"
#include "workflow/download_launcher_logo.h"

namespace {

using support::ReadFileBytes;

// The same listener by address: its certificate names only "localhost".
std::string WrongNameUrl(const std::string& path) {
  return "https://127.0.0.1:" + std::to_string(gameserver::ServerTlsPort()) + path;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class HttpsDownload : public e2e::DownloadFixture {
 protected:
  HttpsDownload() : DownloadFixture(/*overTls=*/true) {}
  static std::wstring Target(const std::wstring& name) { return FreshPath(L"vorn-https-tests", name); }
};

// A server whose certificate no client may accept, and the reason Windows
// gives for it. wine's WinHTTP reports every fault of a certificate as the
// channel error 12157, without naming it.
struct BadServer {
  const char* name;
  std::string (*url)(const std::string& path);
  const char* reason;
};

const BadServer kBadServers[] = {
    {"WrongName", WrongNameUrl, "certificate names another host"},
    {"UntrustedCaLeafAlone",
     [](const std::string& path) {
       return gameserver::ServerBadTlsUrl(gameserver::BadCertificate::kUntrustedLeafAlone, path);
     },
     "issuer not trusted"},
    {"UntrustedCaWithItsRoot",
     [](const std::string& path) {
       return gameserver::ServerBadTlsUrl(gameserver::BadCertificate::kUntrustedWithRoot, path);
     },
     "issuer not trusted"},
    {"ExpiredCertificate",
     [](const std::string& path) {
       return gameserver::ServerBadTlsUrl(gameserver::BadCertificate::kExpired, path);
     },
     "certificate expired or not yet valid"},
};

// The text of a refused certificate of `url`: its reason where the system
// names it, the channel error where it does not.
bool IsCertificateRefusal(const std::string& text, const BadServer& server, const std::string& url) {
  return text == "tls certificate rejected: " + std::string(server.reason) + ", url: " + url ||
         text == "tls handshake failed or certificate rejected (12157), url: " + url;
}

class BadCertificateDownload : public e2e::DownloadFixture,
                               public ::testing::WithParamInterface<BadServer> {
 protected:
  BadCertificateDownload() : DownloadFixture(/*overTls=*/true) {}
};

TEST_P(BadCertificateDownload, IsRefusedWithTheCertificateTextAndWritesNothing) {
  const BadServer& server = GetParam();
  std::string path = std::string("/tls/bad-") + server.name + ".bin";
  ASSERT_TRUE(gameserver::Publish(path, "payload"));
  for (bool toFile : {true, false}) {
    SCOPED_TRACE(toFile ? "into a file" : "into memory");
    DownloadTask task;
    if (toFile) task.localPath = FreshPath(L"vorn-https-tests", base::ToWide(server.name));
    std::string url = server.url(path);
    Run(url, task);
    EXPECT_TRUE(IsCertificateRefusal(task.error, server, url)) << task.error;
    EXPECT_EQ(task.bodySize, 0u);
    if (toFile) {
      EXPECT_FALSE(base::PathExists(task.localPath));
    }
  }
  // Not one request reached the server: the refusal came before it.
  EXPECT_TRUE(gameserver::Requests(path).empty());
}

INSTANTIATE_TEST_SUITE_P(Servers, BadCertificateDownload, ::testing::ValuesIn(kBadServers),
                         [](const ::testing::TestParamInfo<BadServer>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(HttpsDownload, RedirectToPlainHttpIsRefusedAndNotRetried) {
  ASSERT_TRUE(gameserver::Publish("/tls/plain.bin", "unprotected"));
  ASSERT_TRUE(gameserver::AddFault("/tls/up.bin",
                                   "redirect=" + gameserver::ServerUrl("/tls/plain.bin") + "&times=0"));
  DownloadTask task;
  task.localPath = Target(L"up.bin");
  std::string url = gameserver::ServerTlsUrl("/tls/up.bin");
  Run(url, task);
  EXPECT_EQ(task.error, "redirect from https to http refused, url: " + url);
  EXPECT_FALSE(base::PathExists(task.localPath));
  EXPECT_EQ(gameserver::Requests("/tls/up.bin").size(), 1u);
  EXPECT_TRUE(gameserver::Requests("/tls/plain.bin").empty());
}

TEST_F(HttpsDownload, RedirectsWithinHttpsAndUpFromHttpAreFollowed) {
  ASSERT_TRUE(gameserver::Publish("/tls/target.txt", "arrived"));
  ASSERT_TRUE(gameserver::AddFault("/tls/hop1.txt", "redirect=/tls/target.txt"));
  ASSERT_TRUE(gameserver::AddFault("/tls/hop0.txt",
                                   "redirect=" + gameserver::ServerTlsUrl("/tls/hop1.txt")));
  DownloadTask task;
  Run(gameserver::ServerUrl("/tls/hop0.txt"), task);  // http, then https twice
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.BodyText(), "arrived");
}

}  // namespace

namespace e2e {
namespace {

// A launcher built with an https configuration URL fetches it over TLS too.
TEST(HttpsConfig, ConfigurationUrlMayBeHttps) {
  ASSERT_NE(gameserver::ServerTlsPort(), 0);
  ASSERT_TRUE(gameserver::Publish("/tls/cfg/vorn_install_cfg.ini",
                                  "[common]\ninstallName=VornE2E_HttpsCfg\npkgName=g\n"));
  StateDriver driver(L"https-cfg");
  driver.config.cfgUrl = gameserver::ServerTlsUrl("/tls/cfg/vorn_install_cfg.ini");
  ASSERT_TRUE(driver.RunUntilReplaced(new DownloadInstallCfgState(&driver.context), 30000));
  EXPECT_NE(dynamic_cast<DownloadLauncherLogo*>(driver.context.state.get()), nullptr)
      << support::ReadTestLog();
  EXPECT_EQ(driver.config.installName, L"VornE2E_HttpsCfg");
  auto seen = gameserver::Requests("/tls/cfg/vorn_install_cfg.ini?v=");
  EXPECT_EQ(seen.size(), 1u);
  if (!driver.config.installDir.empty())
    support::RemoveTree(driver.config.installDir.substr(0, driver.config.installDir.size() - 1));
}

}  // namespace
namespace {

constexpr DWORD kStartTimeoutMs = 20000;

// The configuration comes over plain http (the build's configuration URL);
// everything it names is on the TLS listener.
class HttpsRun : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(gameserver::ServerTlsPort(), 0);
    const std::string plain = gameserver::ServerUrl("");
    const std::string secure = gameserver::ServerTlsUrl("");
    for (auto& kv : config)
      if (kv.second.rfind(plain, 0) == 0) kv.second = secure + kv.second.substr(plain.size());
    PublishReply("tok", "uid=7&skey=k");
  }
};

TEST_F(HttpsRun, InstallWithEverythingButTheConfigurationOverHttps) {
  PublishServerVersion("31");
  PublishPackage(31);
  PublishConfig();
  size_t proxied = gameserver::ProxyRequests().size();
  RunResult run = Run(L"vorn-pc-tok.exe");
  // No proxy is set: every request went straight to the server.
  EXPECT_EQ(gameserver::ProxyRequests().size(), proxied);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.empty() ? L"" : run.boxes[0]);
  std::wstring dir = ChosenDir(run.log);
  ASSERT_FALSE(dir.empty()) << run.log;
  EXPECT_NE(run.log.find("url: " + gameserver::ServerTlsUrl(PackagePath(31))), std::string::npos);

  std::wstring game = dir + L"game\\game.exe";
  ASSERT_TRUE(WaitForStarts(game, 1, kStartTimeoutMs)) << run.log;
  std::vector<GameStart> starts = RecordedStarts(game);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_NE(starts[0].params.find(L"uid:7 skey:k "), std::wstring::npos);  // the token's reply
  EXPECT_EQ(ReadFileBytes(dir + L"game\\data.bin"), packageData);
  EXPECT_EQ(ReadFileBytes(dir + L"pkg.ver"), "31");
  EXPECT_EQ(gameserver::Requests("/" + installName + "/logo.png").size(), 1u);
  // The reports went out over https too.
  std::vector<int> ids = ReportIds();
  for (int id : {3, 10, 11, 20, 21, 25, 26})
    EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << "no report " << id;
}

// The player's proxy as Internet Options writes it: the values under
// "Internet Settings" and the connection blob (its flags, then the proxy, the
// bypass list and the script address, each after its length), either a named
// proxy or a proxy script.
class InternetOptionsProxy {
 public:
  InternetOptionsProxy(const std::string& server, const std::string& script)
      : enable_(HKEY_CURRENT_USER, kSettings, L"ProxyEnable", REG_DWORD, Dword(script.empty() ? 1 : 0)),
        server_(HKEY_CURRENT_USER, kSettings, L"ProxyServer", REG_SZ, Text(base::ToWide(server))),
        script_(HKEY_CURRENT_USER, kSettings, L"AutoConfigURL", REG_SZ, Text(base::ToWide(script))),
        blob_(HKEY_CURRENT_USER, kSettings + std::wstring(L"\\Connections"),
              L"DefaultConnectionSettings", REG_BINARY, Blob(server, script)) {}
  bool Set() const { return enable_.Set() && server_.Set() && script_.Set() && blob_.Set(); }

 private:
  static constexpr const wchar_t* kSettings =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  static constexpr DWORD kDirect = 1, kNamedProxy = 2, kProxyScript = 4;
  static std::vector<BYTE> Dword(DWORD value) {
    std::vector<BYTE> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return bytes;
  }
  static std::vector<BYTE> Text(const std::wstring& text) {
    const BYTE* at = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(at, at + (text.size() + 1) * sizeof(wchar_t));
  }
  static std::vector<BYTE> Blob(const std::string& server, const std::string& script) {
    std::vector<BYTE> blob;
    auto add = [&blob](DWORD word) {
      std::vector<BYTE> bytes = Dword(word);
      blob.insert(blob.end(), bytes.begin(), bytes.end());
    };
    add(0x46);
    add(1);  // a counter Windows raises with every change
    add(kDirect | (script.empty() ? kNamedProxy : kProxyScript));
    for (const std::string& text : {script.empty() ? server : std::string(), std::string(), script}) {
      add(static_cast<DWORD>(text.size()));  // the proxy, the bypass list, the script
      blob.insert(blob.end(), text.begin(), text.end());
    }
    return blob;
  }
  support::ScopedRegistryValue enable_;
  support::ScopedRegistryValue server_;
  support::ScopedRegistryValue script_;
  support::ScopedRegistryValue blob_;
};

size_t CountStarting(const std::vector<std::string>& lines, size_t from, const std::string& start,
                     const std::string& inside = "") {
  size_t n = 0;
  for (size_t i = from; i < lines.size(); ++i)
    n += lines[i].rfind(start, 0) == 0 && lines[i].find(inside) != std::string::npos;
  return n;
}

struct ProxySetting {
  const char* name;
  bool script;  // a proxy script names the proxy, instead of Internet Options
};

class ProxyRun : public HttpsRun, public ::testing::WithParamInterface<ProxySetting> {};

TEST_P(ProxyRun, EveryRequestGoesThroughTheProxyInternetOptionsName) {
  ASSERT_NE(gameserver::ProxyPort(), 0);
  const std::string proxyAddress = "127.0.0.1:" + std::to_string(gameserver::ProxyPort());
  std::string script;
  if (GetParam().script) {
    script = gameserver::ServerUrl("/" + installName + "/proxy.pac");
    ASSERT_TRUE(gameserver::Publish("/" + installName + "/proxy.pac",
                                    "function FindProxyForURL(url, host) { return \"PROXY " +
                                        proxyAddress + "\"; }\n"));
  }
  PublishServerVersion("33");
  PublishPackage(33);
  PublishConfig();
  size_t before = gameserver::ProxyRequests().size();
  RunResult run;
  {
    InternetOptionsProxy proxy(GetParam().script ? std::string() : proxyAddress, script);
    ASSERT_TRUE(proxy.Set());
    run = Run(L"vorn-pc-tok.exe");
  }
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.empty() ? L"" : run.boxes[0]);
  std::wstring dir = ChosenDir(run.log);
  ASSERT_FALSE(dir.empty()) << run.log;
  ASSERT_TRUE(WaitForStarts(dir + L"game\\game.exe", 1, kStartTimeoutMs)) << run.log;
  EXPECT_EQ(ReadFileBytes(dir + L"pkg.ver"), "33");

  std::vector<std::string> asked = gameserver::ProxyRequests();
  // The configuration over plain http: the proxy saw the request itself.
  std::string server = "127.0.0.1:" + std::to_string(gameserver::ServerPort());
  EXPECT_EQ(CountStarting(asked, before, "GET ", "/pkg/vorn_install_cfg.ini?v="), 1u) << run.log;
  EXPECT_EQ(CountStarting(asked, before, "GET ", server), 1u) << run.log;
  // Everything else over https: one tunnel for each request the server
  // answered (version, token, logo, package; the script itself is fetched
  // directly).
  size_t tunnels =
      CountStarting(asked, before, "CONNECT localhost:" + std::to_string(gameserver::ServerTlsPort()));
  size_t served = gameserver::Requests("/" + installName + "/").size() -
                  gameserver::Requests("/" + installName + "/proxy.pac").size();
  if (GetParam().script) {
    EXPECT_GE(gameserver::Requests("/" + installName + "/proxy.pac").size(), 1u);
  }
  EXPECT_GE(served, 4u);
  EXPECT_GE(tunnels, served) << run.log;
  EXPECT_EQ(CountStarting(asked, before, "GET ") + CountStarting(asked, before, "CONNECT "),
            asked.size() - before)
      << "the proxy was asked for something else";
}

const ProxySetting kProxySettings[] = {{"NamedProxy", false}, {"ProxyScript", true}};
INSTANTIATE_TEST_SUITE_P(Settings, ProxyRun, ::testing::ValuesIn(kProxySettings),
                         [](const ::testing::TestParamInfo<ProxySetting>& info) {
                           return std::string(info.param.name);
                         });

class BadCertificateRun : public HttpsRun, public ::testing::WithParamInterface<BadServer> {};

TEST_P(BadCertificateRun, PackageServerEndsInTheCertificateBoxWithNothingInstalled) {
  const BadServer& server = GetParam();
  PublishServerVersion("32");
  PublishPackage(32);
  config["pkgUrl"] = server.url("/" + installName + "/game-%d.zip");
  PublishConfig();
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  ASSERT_EQ(run.boxes.size(), 1u) << run.log;
  std::string box = base::Utf8(run.boxes[0]);
  std::string url = server.url(PackagePath(32));
  const std::string prefix = "下载游戏包失败！[error:";
  ASSERT_EQ(box.rfind(prefix, 0), 0u) << box;
  EXPECT_TRUE(box.back() == ']' &&
              IsCertificateRefusal(box.substr(prefix.size(), box.size() - prefix.size() - 1), server, url))
      << box;
  std::wstring dir = ChosenDir(run.log);
  ASSERT_FALSE(dir.empty());
  EXPECT_FALSE(base::PathExists(dir + L"game.pkg.downloading"));
  EXPECT_FALSE(base::PathExists(dir + L"pkg.ver"));
  EXPECT_FALSE(base::PathExists(dir + L"game\\game.exe"));
  EXPECT_TRUE(gameserver::Requests(PackagePath(32)).empty());
  // One attempt and at most one more: no storm of 31. (Each attempt logs
  // the text at the start of a line; the box's own line has it inside.)
  size_t attempts = Count(run.log, "> tls certificate rejected: ") +
                    Count(run.log, "> tls handshake failed or certificate rejected (12157)");
  EXPECT_GE(attempts, 1u);
  EXPECT_LE(attempts, 2u) << run.log;
}

INSTANTIATE_TEST_SUITE_P(Servers, BadCertificateRun, ::testing::ValuesIn(kBadServers),
                         [](const ::testing::TestParamInfo<BadServer>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace e2e
