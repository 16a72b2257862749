#pragma once
// The local game server: serves a publish folder the way the configuration,
// token, package and statistics servers answer the launcher, logs every
// request and injects faults on request for tests.
#include <httplib.h>

#include <memory>
#include <string>
#include <vector>

#include "fault_table.h"
#include "report_log.h"

struct ServerOptions {
  std::string root;              // publish folder
  std::string host = "127.0.0.1";
  int port = 8080;
  std::string logDir = ".";      // requests.log and qos.log go here
  std::string tokenPath = "/token";
  std::string qosPath = "/qos";
  bool quiet = false;            // no request lines on standard output
  bool control = false;          // answer /__control/ (fault injection, logs); tests only
  // HTTPS beside HTTP, with the same content, when all three are given.
  std::string tlsCert;           // PEM certificate chain of the server
  std::string tlsKey;            // PEM private key
  int tlsPort = 0;
  // More HTTPS listeners, each with a certificate of its own.
  struct TlsListener {
    int port = 0;
    std::string cert;
    std::string key;
  };
  std::vector<TlsListener> moreTls;
};

class GameServer {
 public:
  explicit GameServer(ServerOptions options);
  // Binds and serves until Stop; false (with a message on stderr) if the port cannot be bound.
  bool Run();
  void Stop();

 private:
  void Setup(httplib::Server& server);
  void Route(const httplib::Request& req, httplib::Response& res);
  void Control(const httplib::Request& req, httplib::Response& res);
  void ServeToken(const httplib::Request& req, httplib::Response& res);
  void ServeQos(const httplib::Request& req, httplib::Response& res);
  void ServeFile(const httplib::Request& req, httplib::Response& res, const Fault* fault);
  void LogRequest(const httplib::Request& req, const httplib::Response& res);

  ServerOptions options_;
  httplib::Server server_;
  std::unique_ptr<httplib::SSLServer> tls_;  // only with a certificate
  std::vector<std::unique_ptr<httplib::SSLServer>> moreTls_;
  FaultTable faults_;
  LineLog requests_;
  LineLog reports_;
};
