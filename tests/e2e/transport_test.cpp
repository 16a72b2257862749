// The two transports under the download job, against the local game server:
// plain HTTP through cpp-httplib and HTTPS through WinHTTP with the test CA.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "base/handles.h"
#include "net/transport.h"
#include "net/transport_errors.h"
#include "support/game_server.h"

namespace {

struct Received {
  TransportResult result;
  TransportResponse response;
  std::string body;
  uint64_t lastCurrent = 0;
  uint64_t lastLength = 0;
  int responses = 0;
};

Received Fetch(const std::string& url, const HeaderList& headers = {},
               std::atomic<bool>* keepGoing = nullptr) {
  Received r;
  HttpUrl parsed;
  EXPECT_TRUE(ParseHttpUrl(url, parsed)) << url;
  TransportCallbacks callbacks;
  callbacks.onResponse = [&](const TransportResponse& response) {
    r.response = response;
    ++r.responses;
    return response.status < 400;
  };
  callbacks.onData = [&](const char* data, size_t size) {
    r.body.append(data, size);
    return true;
  };
  callbacks.onProgress = [&](uint64_t current, uint64_t length) {
    r.lastCurrent = current;
    r.lastLength = length;
    return true;
  };
  callbacks.keepGoing = [keepGoing] { return !keepGoing || keepGoing->load(); };
  r.result = MakeTransport(parsed)->Get(parsed, headers, callbacks);
  return r;
}

class Transport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(gameserver::ServerTlsPort(), 0) << "run through CTest, which starts the game server";
    ASSERT_TRUE(gameserver::ResetFaults());
  }
  void TearDown() override { gameserver::ResetFaults(); }
};

TEST_F(Transport, BothCarryTheSameFileWithRangeAndHeaders) {
  std::string content = gameserver::TestBytes(600000, 11);
  ASSERT_TRUE(gameserver::Publish("/tr/same.bin", content));
  for (const std::string& url :
       {gameserver::ServerUrl("/tr/same.bin"), gameserver::ServerTlsUrl("/tr/same.bin")}) {
    SCOPED_TRACE(url);
    Received whole = Fetch(url);
    EXPECT_EQ(whole.result.failure, TransportFailure::kNone);
    EXPECT_EQ(whole.result.status, 200);
    EXPECT_EQ(whole.response.Header("content-length"), "600000");
    EXPECT_TRUE(whole.body == content);
    EXPECT_EQ(whole.lastCurrent, 600000u);
    EXPECT_EQ(whole.lastLength, 600000u);

    Received part = Fetch(url, {{"Range", "bytes=500000-"}});
    EXPECT_EQ(part.result.failure, TransportFailure::kNone);
    EXPECT_EQ(part.result.status, 206);
    EXPECT_EQ(part.response.Header("Content-Range"), "bytes 500000-599999/600000");
    EXPECT_TRUE(part.body == content.substr(500000));
  }
  auto seen = gameserver::Requests("/tr/same.bin");
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[3].range, "bytes=500000-");
}

TEST_F(Transport, RedirectsComeBackUnfollowedWithoutTheirBody) {
  ASSERT_TRUE(gameserver::AddFault("/tr/moved.txt", "redirect=/tr/elsewhere.txt&times=2"));
  for (const std::string& url :
       {gameserver::ServerUrl("/tr/moved.txt"), gameserver::ServerTlsUrl("/tr/moved.txt")}) {
    SCOPED_TRACE(url);
    Received r = Fetch(url);
    EXPECT_EQ(r.result.failure, TransportFailure::kNone);
    EXPECT_EQ(r.result.status, 302);
    EXPECT_EQ(r.result.location, "/tr/elsewhere.txt");
    EXPECT_EQ(r.responses, 0);
    EXPECT_EQ(r.body, "");
  }
  EXPECT_TRUE(gameserver::Requests("/tr/elsewhere.txt").empty());
}

TEST_F(Transport, CertificateForAnotherNameIsRejected) {
  // The certificate names "localhost" only; reached by address it does not fit.
  ASSERT_TRUE(gameserver::Publish("/tr/name.txt", "secret"));
  std::string url = "https://127.0.0.1:" + std::to_string(gameserver::ServerTlsPort()) + "/tr/name.txt";
  Received r = Fetch(url);
  // Windows names the fault; wine's WinHTTP reports every certificate fault
  // as the channel error 12157.
  bool named = r.result.failure == TransportFailure::kTlsCertificate &&
               r.result.detail == "certificate names another host";
  bool channel = r.result.failure == TransportFailure::kTlsHandshake && r.result.systemCode == 12157;
  EXPECT_TRUE(named || channel) << "code " << r.result.systemCode << " " << r.result.detail;
  EXPECT_EQ(r.responses, 0);
  EXPECT_EQ(r.body, "");
  std::string text = TlsFailureText(r.result, url);
  EXPECT_TRUE(text.rfind("tls ", 0) == 0 && text.find(", url: " + url) != std::string::npos) << text;
  EXPECT_TRUE(gameserver::Requests("/tr/name.txt").empty());
}

TEST_F(Transport, PlainHttpToTheTlsPortIsNoResponse) {
  std::string url = "http://127.0.0.1:" + std::to_string(gameserver::ServerTlsPort()) + "/tr/x";
  Received r = Fetch(url);
  EXPECT_NE(r.result.failure, TransportFailure::kNone);
  EXPECT_EQ(r.responses, 0);
}

TEST_F(Transport, StopCheckEndsAWaitOnASilentServerOverBoth) {
  ASSERT_TRUE(gameserver::Publish("/tr/silent.txt", "late"));
  for (const std::string& url :
       {gameserver::ServerUrl("/tr/silent.txt"), gameserver::ServerTlsUrl("/tr/silent.txt")}) {
    SCOPED_TRACE(url);
    ASSERT_TRUE(gameserver::AddFault("/tr/silent.txt", "delay_ms=4000"));
    std::atomic<bool> keepGoing{true};
    base::UniqueHandle stopper(CreateThread(
        nullptr, 0,
        [](void* flag) -> DWORD {
          Sleep(500);
          static_cast<std::atomic<bool>*>(flag)->store(false);
          return 0;
        },
        &keepGoing, 0, nullptr));
    ASSERT_TRUE(stopper.Valid());
    ULONGLONG started = GetTickCount64();
    Received r = Fetch(url, {}, &keepGoing);
    ULONGLONG took = GetTickCount64() - started;
    WaitForSingleObject(stopper.Get(), INFINITE);
    EXPECT_EQ(r.result.failure, TransportFailure::kStopped);
    EXPECT_EQ(r.body, "");
    // Well before the server's answer at 4 s: the job does not wait for it.
    EXPECT_LT(took, 2500u);
  }
}

}  // namespace
