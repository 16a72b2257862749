#pragma once
// Test-side access to the local game server of the CTest fixture
// "game_server": publishing files, queueing faults and reading what the
// server saw. CTest hands its port and folders over as VORN_SERVER_PORT,
// VORN_SERVER_ROOT (publish folder) and VORN_SERVER_LOGS (requests.log,
// qos.log), the folders as Unix paths.
#include <string>
#include <vector>

namespace gameserver {

// A variable the fixture set; empty outside it.
std::string Env(const char* name);
// 0 when the test runs outside the fixture.
int ServerPort();
// "http://127.0.0.1:<port>" + path.
std::string ServerUrl(const std::string& path);
// The HTTPS listener of the same server (VORN_SERVER_TLS_PORT, 0 outside the
// fixture). Its certificate names "localhost" and comes from a test CA that
// the fixture makes the wine prefix trust.
int ServerTlsPort();
// "https://localhost:<tls port>" + path.
std::string ServerTlsUrl(const std::string& path);
// The same content behind a certificate that no client may accept, on the
// ports after the TLS port (tests/fixtures/start_game_server.sh).
enum class BadCertificate {
  kUntrustedLeafAlone = 1,  // from a CA the prefix does not trust, sent without its root
  kUntrustedWithRoot = 2,   // the same leaf followed by that CA's self-signed root
  kExpired = 3,             // from the trusted test CA, valid only in January 2020
};
std::string ServerBadTlsUrl(BadCertificate which, const std::string& path);
// The forward proxy the fixture runs beside the server, on its port + 5
// (tests/fixtures/forward_proxy.py), and what it was asked for: one
// "METHOD target host" line per request ("CONNECT localhost:8081
// localhost:8081", "GET /pkg/x 127.0.0.1:8080"), oldest first.
int ProxyPort();
std::vector<std::string> ProxyRequests();
// The publish and log folders as the test process reaches them.
std::wstring ServerRoot();
std::wstring ServerLogs();

// GET of a path on the server; false when no 2xx answer came.
bool Get(const std::string& pathAndQuery, std::string* body = nullptr);

// Queues a fault for `path`, e.g. AddFault("/a.bin", "drop_after=100").
bool AddFault(const std::string& path, const std::string& fault);
// Drops every queued fault.
bool ResetFaults();

// Writes `bytes` to the publish folder as `path` ("/net/a.bin"), making folders.
bool Publish(const std::string& path, const std::string& bytes);

// One line of requests.log.
struct RequestLine {
  std::string target;  // raw path and query as received
  int status = 0;
  std::string range;   // "-" when none was sent
  std::string fault;   // "-" when none applied
  std::string length;  // the answer's Content-Length, "-" when none
  std::string ifRange;  // "-" when none was sent
  int peer = 0;        // the client's port: requests of one connection share it
};
// The requests whose target begins with `pathPrefix`, oldest first.
std::vector<RequestLine> Requests(const std::string& pathPrefix);
// Those of them that asked for a range. A request the client stopped is
// logged only once the server notices, which may be after later requests:
// tests of a resumed download look at the ranged ones.
std::vector<RequestLine> RangedRequests(const std::string& pathPrefix);

// The statistics report lines (tab-separated key=value fields, see the server's --help).
std::vector<std::string> QosLines();
// A field of one report line ("S", "T", "EVENT", "RAW", ...); empty when absent.
std::string QosField(const std::string& line, const std::string& key);

// Random-looking bytes of a given size, different per seed.
std::string TestBytes(size_t size, unsigned seed);

}  // namespace gameserver
