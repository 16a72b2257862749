// Byte ranges of a package against the local game server, over plain HTTP
// (cpp-httplib) and HTTPS (WinHTTP): what the server saw for each request
// (its range, its "If-Range", the client's port) is the check.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "download_fixture.h"
#include "net/range_download.h"
#include "support/files.h"
#include "support/game_server.h"

namespace {

struct Scheme {
  const char* name;
  std::string (*url)(const std::string& path);
};

const Scheme kSchemes[] = {{"Http", gameserver::ServerUrl}, {"Https", gameserver::ServerTlsUrl}};

constexpr size_t kFileSize = 600000;

// What the sink saw, by range: the offset of its first byte and the bytes.
struct Collected {
  std::map<size_t, std::pair<uint64_t, std::string>> ranges;
  bool gap = false;  // a block that did not follow the one before
};

class RangeDownloadTest : public e2e::DownloadFixture, public ::testing::WithParamInterface<Scheme> {
 protected:
  RangeDownloadTest() : DownloadFixture(/*overTls=*/true) {}
  void SetUp() override {
    DownloadFixture::SetUp();
    SetRangeRetryPauseForTesting(20);
  }
  void TearDown() override {
    runner.Stop();
    SetRangeRetryPauseForTesting(2000);
    DownloadFixture::TearDown();
  }

  // A fresh file of the test's own on the server.
  std::string PublishFile(const std::string& tag, unsigned seed) {
    path = std::string("/ranges/") + GetParam().name + "-" + tag + ".zip";
    content = gameserver::TestBytes(kFileSize, seed);
    EXPECT_TRUE(gameserver::Publish(path, content));
    return GetParam().url(path);
  }

  std::shared_ptr<RangeDownload> Job(const std::vector<ByteRange>& ranges) {
    auto job = std::make_shared<RangeDownload>();
    job->url = GetParam().url(path);
    job->ranges = ranges;
    job->sink = [this](size_t index, uint64_t offset, const char* data, size_t size, std::string*) {
      auto& slot = collected.ranges[index];
      if (slot.second.empty()) slot.first = offset;
      if (slot.first + slot.second.size() != offset) collected.gap = true;
      slot.second.append(data, size);
      return true;
    };
    return job;
  }

  void RunToEnd(const std::shared_ptr<RangeDownload>& job) {
    runner.Start(job);
    for (int i = 0; i < 6000 && job->finished.load() == 0; ++i) Sleep(10);
    ASSERT_EQ(job->finished.load(), 1u) << "no outcome within 60 s";
  }

  // The file's bytes of `range`.
  std::string Bytes(const ByteRange& range) { return content.substr(range.offset, range.length); }

  std::string path;
  std::string content;
  Collected collected;
  RangeDownloadRunner runner;
};

std::string RangeHeader(const ByteRange& r) {
  return "bytes=" + std::to_string(r.offset) + "-" + std::to_string(r.offset + r.length - 1);
}

TEST_P(RangeDownloadTest, OneRangePerRequestPinnedToTheFirstAnswerOverOneConnection) {
  PublishFile("pinned", 1);
  const std::vector<ByteRange> ranges = {{0, 1}, {1000, 4000}, {90000, 300000}, {kFileSize - 7, 7}};
  auto job = Job(ranges);
  RunToEnd(job);
  ASSERT_EQ(job->outcome, RangeDownloadOutcome::kRanges) << job->error;
  EXPECT_FALSE(collected.gap);
  ASSERT_EQ(collected.ranges.size(), ranges.size());
  for (size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_EQ(collected.ranges[i].first, ranges[i].offset);
    EXPECT_TRUE(collected.ranges[i].second == Bytes(ranges[i])) << "range " << i;
  }
  EXPECT_EQ(job->received.load(), 304008u);
  EXPECT_EQ(job->planned.load(), 304008u);

  std::vector<gameserver::RequestLine> seen = gameserver::Requests(path);
  ASSERT_EQ(seen.size(), ranges.size());
  std::set<int> peers;
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].status, 206);
    EXPECT_EQ(seen[i].range, RangeHeader(ranges[i]));
    EXPECT_EQ(seen[i].length, std::to_string(ranges[i].length));
    // The first answer's ETag pins every later request.
    if (i == 0) {
      EXPECT_EQ(seen[i].ifRange, "-");
    } else {
      EXPECT_EQ(seen[i].ifRange, job->pinnedValidator);
    }
    peers.insert(seen[i].peer);
  }
  EXPECT_EQ(job->pinnedValidator.front(), '"');  // an ETag, preferred to Last-Modified
  EXPECT_EQ(peers.size(), 1u) << "every request should reuse the kept-alive connection";
}

TEST_P(RangeDownloadTest, AGivenValidatorPinsTheFirstRequestToo) {
  PublishFile("given", 2);
  auto first = Job({{10, 10}});
  RunToEnd(first);
  ASSERT_EQ(first->outcome, RangeDownloadOutcome::kRanges) << first->error;
  runner.Stop();
  // Fetched again later (an entry that failed its check), pinned to the same file.
  auto again = Job({{500, 100}});
  again->validator = first->pinnedValidator;
  RunToEnd(again);
  ASSERT_EQ(again->outcome, RangeDownloadOutcome::kRanges) << again->error;
  std::vector<gameserver::RequestLine> seen = gameserver::Requests(path);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].ifRange, first->pinnedValidator);
  EXPECT_EQ(seen[1].status, 206);
}

// A 200 answer is the whole file: written to the given file, the job ends
// with the whole body, nothing goes to the sink and no range follows.
TEST_P(RangeDownloadTest, AWholeBodyAnswerIsStreamedIntoTheWholePackageFile) {
  struct Row {
    const char* situation;
    const char* fault;      // for the first request
    const char* validator;  // given by the caller
  };
  const Row rows[] = {
      {"server ignores Range", "ignore_range=1", ""},
      {"package changed since the validator", nullptr, "\"stale-etag\""},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
    PublishFile("whole" + std::to_string(n), 10 + n);
    ++n;
    if (row.fault) {
      ASSERT_TRUE(gameserver::AddFault(path, row.fault));
    }
    collected = Collected();
    auto job = Job({{100, 1000}, {300000, 5000}});
    job->validator = row.validator;
    job->wholeBodyPath = FreshPath(L"ranges", L"game.pkg.downloading");
    RunToEnd(job);
    ASSERT_EQ(job->outcome, RangeDownloadOutcome::kWholeBody) << job->error;
    EXPECT_EQ(job->wholeLength, kFileSize);
    EXPECT_TRUE(support::ReadFileBytes(job->wholeBodyPath) == content);
    EXPECT_TRUE(collected.ranges.empty());
    EXPECT_EQ(job->received.load(), kFileSize);
    EXPECT_EQ(job->planned.load(), kFileSize);
    std::vector<gameserver::RequestLine> seen = gameserver::Requests(path);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].status, 200);
    EXPECT_EQ(seen[0].range, "bytes=100-1099");
    runner.Stop();
  }
}

TEST_P(RangeDownloadTest, AnswersThatAreNotTheRangeAskedFail) {
  struct Row {
    const char* situation;
    ByteRange range;
    const char* fault;
    bool wholeBodyPath;
    std::string error;  // after the common prefix
  };
  const Row rows[] = {
      {"another range than asked", {1000, 500}, "shift_range=7", true,
       "content range \"bytes 1007-1506/600000\" does not match bytes=1000-1499"},
      // A range that runs past the end of the file (a manifest of another package).
      {"range past the end of the file", {kFileSize - 10, 20}, nullptr, true,
       "does not match bytes=599990-600009"},
      {"range beyond the end (416)", {kFileSize + 10, 5}, nullptr, true, "http response status: 416"},
      {"not found", {0, 10}, "status=404", true, "http response status: 404"},
      {"200 without a file to take it", {0, 10}, "ignore_range=1", false, "http response status: 200"},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.situation);
    std::string url = PublishFile("refused" + std::to_string(n), 20 + n);
    ++n;
    if (row.fault) {
      ASSERT_TRUE(gameserver::AddFault(path, row.fault));
    }
    collected = Collected();
    auto job = Job({row.range});
    if (row.wholeBodyPath) job->wholeBodyPath = FreshPath(L"ranges", L"unused.pkg");
    RunToEnd(job);
    EXPECT_EQ(job->outcome, RangeDownloadOutcome::kFailed);
    EXPECT_NE(job->error.find(row.error), std::string::npos) << job->error;
    EXPECT_NE(job->error.find(url), std::string::npos) << job->error;
    EXPECT_TRUE(collected.ranges.empty());
    EXPECT_EQ(gameserver::Requests(path).size(), 1u);  // no retry of an answer
    runner.Stop();
  }
}

TEST_P(RangeDownloadTest, ABrokenRequestIsTakenUpAtTheByteReachedPinned) {
  PublishFile("broken", 30);
  ASSERT_TRUE(gameserver::AddFault(path, "drop_after=70000"));
  const ByteRange range{1000, 200000};
  auto job = Job({range});
  RunToEnd(job);
  ASSERT_EQ(job->outcome, RangeDownloadOutcome::kRanges) << job->error;
  EXPECT_FALSE(collected.gap);
  EXPECT_TRUE(collected.ranges[0].second == Bytes(range));
  // The server cut the first answer after 70000 bytes; the rest is asked
  // from there, pinned to the first answer. (A cut request may be logged late.)
  std::vector<gameserver::RequestLine> seen = gameserver::RangedRequests(path);
  ASSERT_EQ(seen.size(), 2u);
  std::map<std::string, std::string> ifRangeByRange;
  for (const auto& r : seen) ifRangeByRange[r.range] = r.ifRange;
  ASSERT_EQ(ifRangeByRange.count("bytes=1000-200999"), 1u);
  ASSERT_EQ(ifRangeByRange.count("bytes=71000-200999"), 1u);
  EXPECT_EQ(ifRangeByRange["bytes=1000-200999"], "-");
  EXPECT_EQ(ifRangeByRange["bytes=71000-200999"], job->pinnedValidator);
}

TEST_P(RangeDownloadTest, WithoutValidatorsTheRangesGoUnpinned) {
  PublishFile("novalidators", 40);
  ASSERT_TRUE(gameserver::AddFault(path, "no_validators=1&times=0"));
  auto job = Job({{0, 100}, {1000, 100}});
  RunToEnd(job);
  ASSERT_EQ(job->outcome, RangeDownloadOutcome::kRanges) << job->error;
  EXPECT_EQ(job->pinnedValidator, "");
  std::vector<gameserver::RequestLine> seen = gameserver::Requests(path);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].ifRange, "-");
  EXPECT_TRUE(collected.ranges[1].second == content.substr(1000, 100));
}

TEST_P(RangeDownloadTest, ASinkThatRefusesEndsTheJobWithItsError) {
  PublishFile("sink", 50);
  auto job = Job({{0, 300000}, {400000, 10}});
  job->sink = [](size_t, uint64_t, const char*, size_t, std::string* error) {
    *error = "entry data/a.bin checksum mismatch";
    return false;
  };
  RunToEnd(job);
  EXPECT_EQ(job->outcome, RangeDownloadOutcome::kFailed);
  EXPECT_TRUE(job->sinkRefused);
  EXPECT_EQ(job->error, "entry data/a.bin checksum mismatch");
  EXPECT_EQ(gameserver::RangedRequests(path).size(), 1u);  // the second range is never asked
}

TEST_P(RangeDownloadTest, AStopEndsASlowTransferWithoutWaitingForIt) {
  PublishFile("slow", 60);
  ASSERT_TRUE(gameserver::AddFault(path, "rate=2048"));
  auto job = Job({{0, 500000}});
  runner.Start(job);
  for (int i = 0; i < 1000 && job->received.load() == 0; ++i) Sleep(10);
  ASSERT_GT(job->received.load(), 0u);
  ULONGLONG before = GetTickCount64();
  runner.Stop();  // waits for the job's thread
  ULONGLONG took = GetTickCount64() - before;
  EXPECT_EQ(job->finished.load(), 1u);
  EXPECT_EQ(job->outcome, RangeDownloadOutcome::kFailed);
  EXPECT_NE(job->error.find("isrun:0"), std::string::npos) << job->error;
  // The body would take four minutes at this rate; the stop is seen at the
  // next look, well inside the server's own read time-out.
  EXPECT_LT(took, 2000u);
}

INSTANTIATE_TEST_SUITE_P(Schemes, RangeDownloadTest, ::testing::ValuesIn(kSchemes),
                         [](const ::testing::TestParamInfo<Scheme>& info) { return std::string(info.param.name); });

}  // namespace
