#pragma once
// Download jobs against the local game server (CTest fixture "game_server"):
// faults cleared, retries without their long pause, every job stopped at the end.
#include <gtest/gtest.h>

#include <string>

#include "net/download_task.h"
#include "support/game_server.h"

namespace e2e {

class DownloadFixture : public ::testing::Test {
 protected:
  // `overTls`: the tests need the server's TLS listener.
  explicit DownloadFixture(bool overTls = false) : overTls_(overTls) {}
  void SetUp() override;
  void TearDown() override;

  // Starts `url` on `task` and waits (bounded) until the task has finished.
  void Run(const std::string& url, DownloadTask& task);
  // A path for `name` in a folder named after the time (not made yet) under
  // the temporary folder's `parent`.
  static std::wstring FreshPath(const std::wstring& parent, const std::wstring& name);

  DownloadJobList jobs;

 private:
  bool overTls_;
};

// A scheme of the local game server: plain http (cpp-httplib underneath) or
// https on its TLS listener (WinHTTP underneath).
struct Scheme {
  const char* name;  // "Http" or "Https", also the test name's suffix
  std::string (*url)(const std::string& path);
  bool tls;
};
extern const Scheme kSchemes[2];

// Download jobs run once over each scheme.
class SchemeDownloadFixture : public DownloadFixture, public ::testing::WithParamInterface<Scheme> {
 protected:
  SchemeDownloadFixture() : DownloadFixture(GetParam().tls) {}
  // The URL of `path` in this run's scheme.
  static std::string Url(const std::string& path) { return GetParam().url(path); }
  // `name` under a folder of this scheme's own, so that the server's request
  // log tells the two runs apart.
  static std::string Path(const std::string& folder, const std::string& name) {
    return "/" + folder + "/" + GetParam().name + "/" + name;
  }
};

// Names a parameterised test by its scheme.
std::string SchemeName(const ::testing::TestParamInfo<Scheme>& info);

}  // namespace e2e
