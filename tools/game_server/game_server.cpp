#include "game_server.h"

#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <iostream>
#include <thread>

namespace {

constexpr char kControlPrefix[] = "/__control/";
constexpr char kFaultHeader[] = "X-Vorn-Fault";

// Request paths map onto the publish folder; ".." and empty components are refused.
bool SafeRelativePath(const std::string& path, std::string& relative) {
  if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos ||
      path.find('\\') != std::string::npos)
    return false;
  relative.clear();
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") return false;
    if (!part.empty() && part != ".") relative += (relative.empty() ? "" : "/") + part;
    start = end + 1;
  }
  return !relative.empty();
}

std::string ContentTypeFor(const std::string& path) {
  auto ends = [&path](const char* ext) {
    std::string e(ext);
    return path.size() >= e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
  };
  if (ends(".ini") || ends(".txt") || ends(".ver") || ends(".cfg")) return "text/plain; charset=utf-8";
  if (ends(".png")) return "image/png";
  if (ends(".zip")) return "application/zip";
  return "application/octet-stream";
}

// A request target in absolute form ("https://host:port/path?q"), which
// servers must accept (RFC 9112) and wine's WinHTTP sends inside a proxy's
// tunnel, as the path and query alone.
std::string OriginForm(const std::string& target) {
  for (const char* scheme : {"http://", "https://"}) {
    if (target.rfind(scheme, 0) != 0) continue;
    size_t slash = target.find('/', std::char_traits<char>::length(scheme));
    return slash == std::string::npos ? "/" : target.substr(slash);
  }
  return target;
}

// The raw value of `key` in the request's query, percent-decoded ("+" stays
// "+"). The library's own parameter map keeps only the text after the last
// "=" of a pair, which would cut "data=KZ={...}" and tokens holding "=".
// With `toEnd` the value runs to the end of the query, "&"s included, as
// older launchers did not escape report values.
std::string RawQueryValue(const httplib::Request& req, const std::string& key, bool toEnd) {
  size_t q = req.target.find('?');
  if (q == std::string::npos) return std::string();
  std::string query = req.target.substr(q + 1);
  size_t at = 0;
  while (at <= query.size()) {
    size_t end = query.find('&', at);
    if (end == std::string::npos) end = query.size();
    if (query.compare(at, key.size() + 1, key + "=") == 0) {
      size_t from = at + key.size() + 1;
      return httplib::detail::decode_url(query.substr(from, (toEnd ? query.size() : end) - from), false);
    }
    at = end + 1;
  }
  return std::string();
}

// The server's own data in the publish folder (the token table) is never
// served as a file, under any folder and in any letter case.
bool IsServerData(const std::string& relative) {
  std::string name = relative.substr(relative.find_last_of('/') + 1);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name == "tokens.txt";
}

// tokens.txt: one "token<TAB>user info" per line; blank lines and "#" lines are skipped.
bool LookUpToken(const std::string& file, const std::string& token, std::string& userInfo) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    if (line.compare(0, tab, token) == 0 && tab == token.size()) {
      userInfo = line.substr(tab + 1);
      return true;
    }
  }
  return false;
}

// Validators as a static web server sends them: an ETag from the file's size
// and modification time, and Last-Modified.
std::string EtagOf(const struct stat& info) {
  char text[64];
  snprintf(text, sizeof text, "\"%llx-%llx-%lx\"", static_cast<unsigned long long>(info.st_size),
           static_cast<unsigned long long>(info.st_mtim.tv_sec), static_cast<long>(info.st_mtim.tv_nsec));
  return text;
}

std::string HttpDate(time_t when) {
  char text[64];
  struct tm parts {};
  gmtime_r(&when, &parts);
  strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

}  // namespace

GameServer::GameServer(ServerOptions options)
    : options_(std::move(options)),
      requests_(options_.logDir + "/requests.log"),
      reports_(options_.logDir + "/qos.log") {
  Setup(server_);
  if (!options_.tlsCert.empty()) {
    tls_ = std::make_unique<httplib::SSLServer>(options_.tlsCert.c_str(), options_.tlsKey.c_str());
    Setup(*tls_);
  }
  for (const auto& listener : options_.moreTls) {
    moreTls_.push_back(std::make_unique<httplib::SSLServer>(listener.cert.c_str(), listener.key.c_str()));
    Setup(*moreTls_.back());
  }
}

void GameServer::Setup(httplib::Server& server) {
  // Delayed answers hold a worker each; leave room for the launcher's own requests.
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  // A client's kept-alive connection carries a whole update's ranged requests.
  server.set_keep_alive_max_count(1000);
  // Headers and body go out in separate writes: without this the body of a
  // small answer waits for the client's delayed ACK of the headers (tens of
  // milliseconds per request, which an update of many small ranges pays for
  // every range). Static web servers send this way too.
  server.set_tcp_nodelay(true);
  server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    if (OriginForm(req.target) == req.target) return Route(req, res);
    httplib::Request origin = req;
    origin.target = OriginForm(req.target);
    origin.path = OriginForm(req.path);
    Route(origin, res);
  });
  server.set_logger(
      [this](const httplib::Request& req, const httplib::Response& res) { LogRequest(req, res); });
}

bool GameServer::Run() {
  if (tls_ && !tls_->is_valid()) {
    std::cerr << "vorn-game-server: cannot use certificate " << options_.tlsCert << " with key "
              << options_.tlsKey << "\n";
    return false;
  }
  if (!server_.bind_to_port(options_.host, options_.port)) {
    std::cerr << "vorn-game-server: cannot listen on " << options_.host << ":" << options_.port
              << "\n";
    return false;
  }
  if (tls_ && !tls_->bind_to_port(options_.host, options_.tlsPort)) {
    std::cerr << "vorn-game-server: cannot listen on " << options_.host << ":" << options_.tlsPort
              << "\n";
    return false;
  }
  for (size_t i = 0; i < moreTls_.size(); ++i) {
    const auto& listener = options_.moreTls[i];
    if (!moreTls_[i]->is_valid() || !moreTls_[i]->bind_to_port(options_.host, listener.port)) {
      std::cerr << "vorn-game-server: cannot serve https on port " << listener.port << " with "
                << listener.cert << "\n";
      return false;
    }
  }
  std::string tlsText;
  if (tls_) tlsText = " and https://" + options_.host + ":" + std::to_string(options_.tlsPort) + "/";
  std::cout << "vorn-game-server: serving " << options_.root << " on http://" << options_.host
            << ":" << options_.port << "/" << tlsText << " (logs in " << options_.logDir << ")"
            << std::endl;
  std::thread tlsThread;
  if (tls_) tlsThread = std::thread([this] { tls_->listen_after_bind(); });
  std::vector<std::thread> moreThreads;
  for (auto& more : moreTls_) moreThreads.emplace_back([&more] { more->listen_after_bind(); });
  bool ok = server_.listen_after_bind();
  if (tls_) {
    tls_->stop();
    tlsThread.join();
  }
  for (auto& more : moreTls_) more->stop();
  for (auto& thread : moreThreads) thread.join();
  return ok;
}

void GameServer::Stop() {
  server_.stop();
  if (tls_) tls_->stop();
  for (auto& more : moreTls_) more->stop();
}

void GameServer::Route(const httplib::Request& req, httplib::Response& res) {
  if (req.path.rfind(kControlPrefix, 0) == 0) {
    if (options_.control) return Control(req, res);
    res.status = 404;
    res.set_content("not found\n", "text/plain");
    return;
  }

  Fault fault;
  bool faulty = faults_.Take(req.path, fault);
  if (faulty) {
    res.set_header(kFaultHeader, fault.Describe());
    if (fault.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(fault.delayMs));
    if (fault.status) {
      res.status = fault.status;
      if (fault.status != 204 && fault.status != 304)
        res.set_content("injected status " + std::to_string(fault.status) + "\n", "text/plain");
      return;
    }
    if (!fault.redirect.empty()) return res.set_redirect(fault.redirect, 302);
  }

  if (req.path == options_.tokenPath) return ServeToken(req, res);
  // Below the statistics path too, so that each test can report to a path of its own.
  if (req.path == options_.qosPath || req.path.rfind(options_.qosPath + "/", 0) == 0)
    return ServeQos(req, res);
  ServeFile(req, res, faulty ? &fault : nullptr);
}

void GameServer::Control(const httplib::Request& req, httplib::Response& res) {
  std::string command = req.path.substr(sizeof kControlPrefix - 1);
  if (command == "ping") {
    res.set_content("ok\n", "text/plain");
  } else if (command == "fault") {
    std::string path = req.get_param_value("path");
    std::map<std::string, std::string> params(req.params.begin(), req.params.end());
    Fault fault;
    std::string error;
    if (path.empty() || path[0] != '/') error = "path must start with /";
    if (error.empty() && ParseFault(params, fault, error)) {
      faults_.Add(path, fault);
      res.set_content("ok " + path + " " + fault.Describe() + "\n", "text/plain");
    } else {
      res.status = 400;
      res.set_content("error: " + error + "\n", "text/plain");
    }
  } else if (command == "reset") {
    faults_.Reset();
    if (req.get_param_value("logs") == "1") {
      requests_.Clear();
      reports_.Clear();
    }
    res.set_content("ok\n", "text/plain");
  } else if (command == "faults") {
    res.set_content(faults_.List(), "text/plain");
  } else if (command == "requests") {
    res.set_content(requests_.ReadAll(), "text/plain; charset=utf-8");
  } else if (command == "qos") {
    res.set_content(reports_.ReadAll(), "text/plain; charset=utf-8");
  } else {
    res.status = 404;
    res.set_content("error: unknown control command\n", "text/plain");
  }
}

void GameServer::ServeToken(const httplib::Request& req, httplib::Response& res) {
  // Failures are answered the way the launcher expects them: 200 and a text
  // beginning with "error".
  std::string token = RawQueryValue(req, "token", false);
  std::string userInfo;
  if (token.empty()) {
    res.set_content("error: no token\n", "text/plain");
  } else if (!LookUpToken(options_.root + "/tokens.txt", token, userInfo)) {
    res.set_content("error: unknown token " + token + "\n", "text/plain");
  } else {
    res.set_content(userInfo, "text/plain; charset=utf-8");
  }
}

void GameServer::ServeQos(const httplib::Request& req, httplib::Response& res) {
  reports_.Append(NowText() + "\tpath=" + req.path + "\t" + DecodeQosRecord(RawQueryValue(req, "data", true)));
  res.set_content("ok\n", "text/plain");
}

void GameServer::ServeFile(const httplib::Request& req, httplib::Response& res, const Fault* fault) {
  std::string relative;
  struct stat info {};
  std::string full;
  if (SafeRelativePath(req.path, relative) && !IsServerData(relative)) full = options_.root + "/" + relative;
  if (full.empty() || stat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    res.status = 404;
    res.set_content("not found\n", "text/plain");
    return;
  }
  if (fault && fault->ignoreRange) {
    // The request object is the server's own mutable one; clearing its ranges
    // makes the library answer 200 with the whole body, as a server without
    // "Range" support would.
    const_cast<httplib::Request&>(req).ranges.clear();
  }
  std::string type = ContentTypeFor(full);
  size_t size = static_cast<size_t>(info.st_size);
  std::string etag = EtagOf(info);
  std::string lastModified = HttpDate(info.st_mtim.tv_sec);
  bool validators = !(fault && fault->noValidators);
  if (validators) {
    res.set_header("ETag", etag);
    res.set_header("Last-Modified", lastModified);
  }
  auto& ranges = const_cast<httplib::Request&>(req).ranges;
  if (fault && fault->shiftRange && ranges.size() == 1 && ranges[0].first >= 0 && ranges[0].second >= 0) {
    // Another range than asked, as a broken cache or proxy might send.
    ranges[0].first += fault->shiftRange;
    ranges[0].second += fault->shiftRange;
  }
  if (!ranges.empty() && req.has_header("If-Range")) {
    // A range of a file that changed since the client's copy: the whole file.
    std::string asked = req.get_header_value("If-Range");
    if (!validators || (asked != etag && asked != lastModified)) ranges.clear();
  }
  if (ranges.size() == 1 && ranges[0].first >= 0 && static_cast<size_t>(ranges[0].first) >= size) {
    // Asked from the end or beyond: what nginx answers.
    ranges.clear();
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    res.set_content("", "text/plain");
    return;
  }
  if (size == 0) return res.set_content("", type);
  if (fault && fault->endless) {
    // No length, and no end until the client hangs up (or a GiB has gone).
    auto bytes = std::make_shared<std::string>();
    {
      std::ifstream in(full, std::ios::binary);
      bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    auto sent = std::make_shared<int64_t>(0);
    res.set_chunked_content_provider(type, [bytes, sent](size_t, httplib::DataSink& sink) {
      if (*sent >= kEndlessBodyBytes || !sink.write(bytes->data(), bytes->size())) return false;
      *sent += static_cast<int64_t>(bytes->size());
      return true;
    });
    return;
  }

  auto in = std::make_shared<std::ifstream>(full, std::ios::binary);
  int64_t dropAfter = fault ? fault->dropAfter : -1;
  int64_t rate = fault ? fault->rate : 0;
  int64_t stallAfter = fault ? fault->stallAfter : -1;
  auto sent = std::make_shared<int64_t>(0);
  res.set_content_provider(
      size, type,
      [in, sent, dropAfter, rate, stallAfter](size_t offset, size_t length, httplib::DataSink& sink) {
        size_t chunk = std::min<size_t>(length, 64 * 1024);
        if (stallAfter >= 0) {
          if (*sent >= stallAfter) {
            // A server that stops sending without closing: the client's read
            // time-out has to notice.
            std::this_thread::sleep_for(std::chrono::milliseconds(kStallMs));
            return false;
          }
          chunk = std::min<size_t>(chunk, static_cast<size_t>(stallAfter - *sent));
        }
        if (rate > 0) {
          chunk = std::min<size_t>(chunk, static_cast<size_t>(rate / 10 > 0 ? rate / 10 : 1));
          std::this_thread::sleep_for(std::chrono::milliseconds(1000 * chunk / rate));
        }
        if (dropAfter >= 0) {
          if (*sent >= dropAfter) return false;  // closes the connection mid-body
          chunk = std::min<size_t>(chunk, static_cast<size_t>(dropAfter - *sent));
        }
        std::string buffer(chunk, '\0');
        in->seekg(static_cast<std::streamoff>(offset));
        if (!in->read(&buffer[0], static_cast<std::streamsize>(chunk))) return false;
        *sent += static_cast<int64_t>(chunk);
        return sink.write(buffer.data(), chunk);
      });
}

void GameServer::LogRequest(const httplib::Request& req, const httplib::Response& res) {
  std::string range = req.get_header_value("Range");
  std::string ifRange = req.get_header_value("If-Range");
  std::string fault = res.get_header_value(kFaultHeader);
  std::string length = res.get_header_value("Content-Length");
  std::string line = NowText() + "\t" + req.method + "\t" + OriginForm(req.target) + "\t" +
                     std::to_string(res.status) + "\tlength=" + (length.empty() ? "-" : length) +
                     "\trange=" + (range.empty() ? "-" : range) +
                     "\tfault=" + (fault.empty() ? "-" : fault) +
                     "\tif_range=" + (ifRange.empty() ? "-" : ifRange) +
                     "\tpeer=" + std::to_string(req.remote_port);
  bool control = OriginForm(req.path).rfind(kControlPrefix, 0) == 0;
  if (!control) requests_.Append(line);
  if (!options_.quiet) std::cout << line << std::endl;
}
