// vorn-game-server: a local stand-in for every server the launcher talks to.
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "game_server.h"

namespace {

const char kHelp[] = R"(usage: vorn-game-server --root DIR [--port N] [options]

Serves a game publication from DIR to the launcher on http://HOST:PORT/
(and on https://HOST:TLS-PORT/ with the --tls options). A server for tests
and local trials, not for players: publish with a web server (README,
"Publishing a game").

  --root DIR        publish folder (required)
  --port N          port to listen on (default 8080)
  --host ADDR       address to listen on (default 127.0.0.1)
  --log-dir DIR     where requests.log and qos.log are written (default: .)
  --token-path P    path of the token endpoint (default /token)
  --qos-path P      path of the statistics endpoint and the paths below it
                    (default /qos)
  --tls-cert FILE   PEM certificate (chain) for HTTPS
  --tls-key FILE    PEM private key of that certificate
  --tls-port N      port of the HTTPS listener; with all three --tls options
                    the same content is served over HTTPS too
  --tls-also PORT,CERT,KEY
                    one more HTTPS listener with the same content and another
                    certificate (tests use it for untrusted and expired ones);
                    may be given several times
  --quiet           do not echo requests on standard output
  --control         answer the /__control/ endpoints below (tests only:
                    anyone who reaches the port can use them)
  --help            this text

Publish folder:
  pkg/vorn_install_cfg.ini   the install configuration (its "?v=" is ignored)
  tokens.txt                 token table: one "token<TAB>user info" per line
                             (never served as a file)
  any other file             served by its path, with "Range" support (206),
                             ETag and Last-Modified, "If-Range" (a stale
                             validator gets the whole file) and 416 with
                             "Content-Range: bytes */LENGTH" for a range
                             from the end of the file or beyond

Endpoints:
  GET /<file>                a file of the publish folder; 404 when missing
  GET /token?token=T         the user info of T from tokens.txt, or a text
                             beginning with "error" (status 200)
  GET /qos[/...]?data=KZ={...}
                             a statistics report: one line in qos.log,
                             time<TAB>path=/qos...<TAB>G=1<TAB>S=...<TAB>T=3<TAB>
                             EVENT=Tokenstart<TAB>...<TAB>RAW=KZ={...} (fields
                             decoded; the item without a colon is EVENT)

Control (only with --control; for tests; never logged in requests.log):
  GET /__control/ping        "ok" once the server answers
  GET /__control/fault?path=/p&<fault>[&times=N]
        queue a fault for requests to /p (query ignored). Faults:
          status=S         answer status S instead
          delay_ms=D       wait D ms (at most 60000) before answering
          drop_after=N     close the connection after N body bytes
          ignore_range=1   answer "Range" requests with 200 and the whole file
          no_validators=1  send no ETag or Last-Modified (and honour no If-Range)
          shift_range=N    answer a single "bytes=a-b" range with the one N
                           bytes later (a Content-Range that was not asked)
          redirect=URL     answer 302 to URL
          rate=B           send the body at B bytes/s (at least 1024)
          stall_after=N    go silent after N body bytes, close 7 s later
          endless=1        a chunked body that repeats the file until the
                           client hangs up (a GiB at most)
        times=N applies it to the next N requests (default 1, at most 1000);
        times=0 keeps it until reset. Several faults for one path queue up.
  GET /__control/reset[?logs=1]   drop all faults (and empty both logs)
  GET /__control/faults      the queued faults
  GET /__control/requests    requests.log
  GET /__control/qos         qos.log

requests.log line (tab-separated):
  time  method  target  status  length=N|-  range=VALUE|-  fault=DESC|-
  if_range=VALUE|-  peer=PORT (the client's port: one port, one connection)
)";

GameServer* g_server = nullptr;

void OnSignal(int) {
  if (g_server) g_server->Stop();
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int main(int argc, char** argv) {
  ServerOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::cerr << "vorn-game-server: " << arg << " needs a value\n";
        std::exit(2);
      }
      out = argv[++i];
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      std::cout << kHelp;
      return 0;
    } else if (arg == "--root") {
      value(options.root);
    } else if (arg == "--port") {
      value(text);
      char* end = nullptr;
      long port = std::strtol(text.c_str(), &end, 10);
      if (*end || port < 1 || port > 65535) {
        std::cerr << "vorn-game-server: bad port " << text << "\n";
        return 2;
      }
      options.port = static_cast<int>(port);
    } else if (arg == "--host") {
      value(options.host);
    } else if (arg == "--log-dir") {
      value(options.logDir);
    } else if (arg == "--token-path") {
      value(options.tokenPath);
    } else if (arg == "--qos-path") {
      value(options.qosPath);
    } else if (arg == "--tls-cert") {
      value(options.tlsCert);
    } else if (arg == "--tls-key") {
      value(options.tlsKey);
    } else if (arg == "--tls-port") {
      value(text);
      char* end = nullptr;
      long port = std::strtol(text.c_str(), &end, 10);
      if (*end || port < 1 || port > 65535) {
        std::cerr << "vorn-game-server: bad port " << text << "\n";
        return 2;
      }
      options.tlsPort = static_cast<int>(port);
    } else if (arg == "--tls-also") {
      value(text);
      size_t a = text.find(',');
      size_t b = a == std::string::npos ? a : text.find(',', a + 1);
      char* end = nullptr;
      long port = a == std::string::npos ? 0 : std::strtol(text.substr(0, a).c_str(), &end, 10);
      if (b == std::string::npos || *end || port < 1 || port > 65535) {
        std::cerr << "vorn-game-server: --tls-also wants PORT,CERT,KEY, got " << text << "\n";
        return 2;
      }
      options.moreTls.push_back({static_cast<int>(port), text.substr(a + 1, b - a - 1), text.substr(b + 1)});
    } else if (arg == "--control") {
      options.control = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else {
      std::cerr << "vorn-game-server: unknown argument " << arg << " (see --help)\n";
      return 2;
    }
  }
  if (options.root.empty() || !IsDirectory(options.root)) {
    std::cerr << "vorn-game-server: --root must name an existing folder (see --help)\n";
    return 2;
  }
  bool tls = !options.tlsCert.empty() || !options.tlsKey.empty() || options.tlsPort != 0;
  if (tls && (options.tlsCert.empty() || options.tlsKey.empty() || options.tlsPort == 0)) {
    std::cerr << "vorn-game-server: --tls-cert, --tls-key and --tls-port go together\n";
    return 2;
  }
  if (!IsDirectory(options.logDir)) {
    std::cerr << "vorn-game-server: log folder " << options.logDir << " does not exist\n";
    return 2;
  }

  GameServer server(options);
  g_server = &server;
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the server
  bool ok = server.Run();
  g_server = nullptr;
  return ok ? 0 : 1;
}
