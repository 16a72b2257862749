#pragma once
// Download jobs against the local game server (CTest fixture "game_server"):
// faults cleared, retries without their long pause, every job stopped at the end.
#include <gtest/gtest.h>

#include <string>

#include "net/download_task.h"

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

}  // namespace e2e
