// The hand-over between a transport's blocking thread and the download job:
// what reaches the job's callbacks, and when the job walks away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "net/exchange.h"

namespace {

struct Seen {
  int responses = 0;
  std::string body;
  uint64_t lastCurrent = 0;
  uint64_t lastLength = 0;
};

TransportCallbacks Recording(Seen& seen, std::atomic<bool>& keepGoing, bool accept = true) {
  TransportCallbacks c;
  c.onResponse = [&seen, accept](const TransportResponse&) {
    ++seen.responses;
    return accept;
  };
  c.onData = [&seen](const char* data, size_t size) {
    seen.body.append(data, size);
    return true;
  };
  c.onProgress = [&seen](uint64_t current, uint64_t length) {
    seen.lastCurrent = current;
    seen.lastLength = length;
    return true;
  };
  c.keepGoing = [&keepGoing] { return keepGoing.load(); };
  return c;
}

TEST(Exchange, WhatTheProducerSaysIsWhatTheJobGets) {
  struct Row {
    const char* what;
    int status;
    HeaderList headers;
    std::vector<std::string> blocks;
    TransportFailure end;
    TransportFailure expected;
    std::string location;
    int responses;
    std::string body;
  };
  const Row rows[] = {
      {"a whole body", 200, {{"Content-Length", "6"}}, {"abc", "def"}, TransportFailure::kNone,
       TransportFailure::kNone, "", 1, "abcdef"},
      {"a body without a length", 200, {}, {"abc"}, TransportFailure::kNone, TransportFailure::kNone,
       "", 1, "abc"},
      {"a body cut before its length", 200, {{"Content-Length", "9"}}, {"abc"},
       TransportFailure::kNone, TransportFailure::kBroken, "", 1, "abc"},
      {"a connection that broke mid-body", 206, {}, {"ab"}, TransportFailure::kBroken,
       TransportFailure::kBroken, "", 1, "ab"},
      {"a redirect, unread and unfollowed", 302, {{"location", "/next"}}, {"moved"},
       TransportFailure::kStopped, TransportFailure::kNone, "/next", 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::atomic<bool> keepGoing{true};
    Seen seen;
    TransportResult result = RunExchange(
        [&row](std::shared_ptr<Exchange> ex) {
          bool wanted = ex->DeliverHead(row.status, row.headers);
          for (const std::string& block : row.blocks)
            if (!wanted || !ex->DeliverBody(block.data(), block.size())) break;
          ex->End(row.end);
        },
        Recording(seen, keepGoing), "test");
    EXPECT_EQ(result.failure, row.expected);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.location, row.location);
    EXPECT_EQ(seen.responses, row.responses);
    EXPECT_EQ(seen.body, row.body);
  }
}

TEST(Exchange, QueuedBlocksArriveWholeAndInOrderAndStopWhenTheJobSaysNo) {
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "the job refuses the third block" : "the job takes all");
    std::atomic<bool> keepGoing{true};
    std::atomic<int> queuedAfterNo{0};
    Seen seen;
    TransportCallbacks callbacks = Recording(seen, keepGoing);
    callbacks.onData = [&seen, refuse](const char* data, size_t size) {
      seen.body.append(data, size);
      return !(refuse && seen.body.size() >= 3 * 1000);
    };
    std::string expected;
    TransportResult result = RunExchange(
        [&](std::shared_ptr<Exchange> ex) {
          if (!ex->DeliverHead(200, {{"Content-Length", "10000"}})) return;
          std::unique_ptr<char[]> block(new char[Exchange::kQueuedBlockSize]);
          for (int i = 0; i < 10; ++i) {
            std::memset(block.get(), 'a' + i, 1000);
            block = ex->QueueBody(std::move(block), 1000);
            if (!block) break;
            if (refuse && i >= 3) ++queuedAfterNo;
          }
          ex->End(TransportFailure::kNone);
        },
        callbacks, "test");
    for (int i = 0; i < (refuse ? 3 : 10); ++i) expected += std::string(1000, static_cast<char>('a' + i));
    EXPECT_EQ(seen.body, expected);
    if (refuse) {
      EXPECT_EQ(result.failure, TransportFailure::kStopped);
      EXPECT_LE(queuedAfterNo.load(), 2);  // at most what was already on its way
    } else {
      EXPECT_EQ(result.failure, TransportFailure::kNone);
      EXPECT_EQ(seen.lastCurrent, 10000u);
      EXPECT_EQ(seen.lastLength, 10000u);
    }
  }
}

TEST(Exchange, AFailureBeforeTheHeadKeepsItsDetail) {
  std::atomic<bool> keepGoing{true};
  Seen seen;
  TransportResult result = RunExchange(
      [](std::shared_ptr<Exchange> ex) {
        ex->End(TransportFailure::kTlsCertificate, "issuer not trusted", 12045);
      },
      Recording(seen, keepGoing), "test");
  EXPECT_EQ(result.failure, TransportFailure::kTlsCertificate);
  EXPECT_EQ(result.detail, "issuer not trusted");
  EXPECT_EQ(result.systemCode, 12045u);
  EXPECT_EQ(seen.responses, 0);
}

TEST(Exchange, AStoppedJobWalksAwayFromASilentProducerWhichEndsOnItsOwn) {
  std::atomic<bool> keepGoing{true};
  std::atomic<bool> producerDone{false};
  std::atomic<bool> pushRefused{false};
  Seen seen;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    keepGoing = false;
  });
  auto started = std::chrono::steady_clock::now();
  TransportResult result = RunExchange(
      [&](std::shared_ptr<Exchange> ex) {
        ex->DeliverHead(200, {});
        // Silent for a while, as a stalled server is, then more data.
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        pushRefused = !ex->DeliverBody("late", 4);
        producerDone = true;
      },
      Recording(seen, keepGoing), "test");
  auto took = std::chrono::steady_clock::now() - started;
  stopper.join();
  EXPECT_EQ(result.failure, TransportFailure::kStopped);
  EXPECT_LT(took, std::chrono::milliseconds(500));  // not the producer's 600 ms
  EXPECT_EQ(seen.body, "");
  for (int i = 0; i < 200 && !producerDone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(producerDone.load());
  EXPECT_TRUE(pushRefused.load()) << "the producer must learn that nobody reads";
}

TEST(Exchange, AResponseTheJobRefusesIsReadNoFurther) {
  std::atomic<bool> keepGoing{true};
  std::atomic<int> pushed{0};
  std::atomic<bool> producerDone{false};
  Seen seen;
  TransportResult result = RunExchange(
      [&](std::shared_ptr<Exchange> ex) {
        ex->DeliverHead(404, {});
        // The job said no: the producer must not go on reading.
        for (int i = 0; i < 100 && ex->DeliverBody("x", 1); ++i) ++pushed;
        producerDone = true;
      },
      Recording(seen, keepGoing, /*accept=*/false), "test");
  EXPECT_EQ(result.failure, TransportFailure::kStopped);
  EXPECT_EQ(seen.body, "");
  for (int i = 0; i < 200 && !producerDone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(producerDone.load());
  EXPECT_EQ(pushed.load(), 0);
}

}  // namespace
