// Downloads against the local game server (CTest fixture "game_server"),
// each case over plain http and over https.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "base/fs.h"
#include "base/handles.h"
#include "base/strings.h"
#include "base/text.h"
#include "download_fixture.h"
#include "net/download_task.h"
#include "net/resume_record.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/scratch_folder.h"
#include "workflow/prefetch.h"

namespace {

using support::ReadFileBytes;

// Requests that never reach a server.
class DownloadStart : public e2e::DownloadFixture {};

// Requests over each scheme: every case runs over plain http and over https.
class Download : public e2e::SchemeDownloadFixture {
 protected:
  // A fresh target path in a folder that does not exist yet.
  static std::wstring Target(const std::wstring& name) {
    return FreshPath(L"vorn-net-tests", base::JoinPath(L"sub", name));
  }
  // A path on the server of this scheme's own.
  static std::string P(const std::string& name) { return Path("net", name); }
};

TEST_F(DownloadStart, UrlWithoutAServerFailsWithoutAConnection) {
  // A path alone, and what a state sends when the configuration left its URL out.
  for (const char* url : {"/net/path-only.txt", ""}) {
    SCOPED_TRACE(url);
    DownloadTask task;
    Run(url, task);
    EXPECT_EQ(task.error, std::string("http response failed, isrun:1, res:NULL, status: 0, url: ") + url);
    EXPECT_EQ(task.errorCode, 0u);
  }
}

TEST_P(Download, InMemoryBodyWithQueryAndFragment) {
  std::string content = gameserver::TestBytes(300000, 1);  // several receive blocks, several growths
  ASSERT_TRUE(gameserver::Publish(P("mem.bin"), content));
  DownloadTask task;
  Run(Url(P("mem.bin?v=17&x=y#frag")), task);
  EXPECT_EQ(task.error, "");
  ASSERT_EQ(task.bodySize, content.size());
  EXPECT_EQ(std::string(task.body.get(), task.bodySize), content);
  EXPECT_LT(task.bodySize, task.bodyCapacity);
  EXPECT_EQ(task.received.load(), 300000);
  EXPECT_EQ(task.total.load(), 300000);

  auto seen = gameserver::Requests(P("mem.bin"));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].target, P("mem.bin?v=17&x=y"));  // the fragment never leaves the client
  EXPECT_EQ(seen[0].range, "-");
}

TEST_P(Download, TheFinishCallbackSeesTheOutcomeComplete) {
  std::string content = gameserver::TestBytes(5000, 3);
  ASSERT_TRUE(gameserver::Publish(P("wake.bin"), content));
  DownloadTask task;
  HANDLE woken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(woken, nullptr);
  base::UniqueHandle hold(woken);
  std::atomic<uint32_t> finishedWhenCalled{0};
  size_t bodyWhenCalled = 0;
  StartDownload(jobs, "test", Url(P("wake.bin")), &task, [&] {
    finishedWhenCalled = task.finished.load();
    bodyWhenCalled = task.bodySize;
    SetEvent(woken);
  });
  ASSERT_EQ(WaitForSingleObject(woken, 60000), WAIT_OBJECT_0);
  EXPECT_EQ(finishedWhenCalled.load(), 1u);
  EXPECT_EQ(bodyWhenCalled, content.size());
  EXPECT_EQ(task.error, "");
}

TEST_P(Download, RefusedStatusesAndUnexpectedOnes) {
  ASSERT_TRUE(gameserver::Publish(P("status.txt"), "body"));
  std::string url = Url(P("status.txt"));
  struct Case {
    int status;
    std::string error;
  } cases[] = {
      {404, "http response failed, isrun:1, res:NULL, status: 404, url: " + url},
      {500, "http response failed, isrun:1, res:NULL, status: 500, url: " + url},
      {201, "http response status: 201, url: " + url},
      {203, "http response status: 203, url: " + url},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(gameserver::AddFault(P("status.txt"), "status=" + std::to_string(c.status)));
    DownloadTask task;
    task.localPath = Target(L"status.txt");  // a file request, so a retry would be possible
    Run(url, task);
    EXPECT_EQ(task.error, c.error);
    EXPECT_EQ(task.errorCode, 0u);
  }
  // None of them was retried.
  EXPECT_EQ(gameserver::Requests(P("status.txt")).size(), 4u);
}

TEST_P(Download, RedirectIsFollowed) {
  ASSERT_TRUE(gameserver::Publish(P("moved-here.txt"), "new home"));
  ASSERT_TRUE(gameserver::AddFault(P("old-place.txt"), "redirect=" + P("moved-here.txt")));
  DownloadTask task;
  Run(Url(P("old-place.txt")), task);
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.BodyText(), "new home");
}

TEST_P(Download, BrokenAndSilentTransfersResumeIntoTheSameFileWithRange) {
  std::string content = gameserver::TestBytes(900000, 2);
  ASSERT_TRUE(gameserver::Publish(P("resume.bin"), content));
  // First the connection drops, then the server goes silent mid-body and the
  // read time-out gives it up; each retry goes on from the bytes on disk.
  ASSERT_TRUE(gameserver::AddFault(P("resume.bin"), "drop_after=250001"));
  ASSERT_TRUE(gameserver::AddFault(P("resume.bin"), "stall_after=200000"));
  DownloadTask task;
  task.localPath = Target(L"resume.bin");
  Run(Url(P("resume.bin")), task);
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.received.load(), 900000);
  EXPECT_EQ(task.total.load(), 900000);
  EXPECT_TRUE(ReadFileBytes(task.localPath) == content) << "resumed file differs from the source";

  // The server logs a request when it is done with it: the stalled one last,
  // once its silence is over.
  auto seen = gameserver::Requests(P("resume.bin"));
  for (int i = 0; i < 150 && seen.size() < 3; ++i) {
    Sleep(100);
    seen = gameserver::Requests(P("resume.bin"));
  }
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].range, "-");
  EXPECT_EQ(seen[0].fault, "drop_after=250001,times=1");
  EXPECT_EQ(seen[1].range, "bytes=450001-");
  EXPECT_EQ(seen[1].status, 206);
  EXPECT_EQ(seen[2].range, "bytes=250001-");
  EXPECT_EQ(seen[2].fault, "stall_after=200000,times=1");
}

TEST_P(Download, WholeBodyAnswerToAResumeStartsTheFileOver) {
  std::string content = gameserver::TestBytes(500000, 3);
  ASSERT_TRUE(gameserver::Publish(P("restart.bin"), content));
  ASSERT_TRUE(gameserver::AddFault(P("restart.bin"), "drop_after=200000"));
  ASSERT_TRUE(gameserver::AddFault(P("restart.bin"), "ignore_range=1"));
  DownloadTask task;
  task.localPath = Target(L"restart.bin");
  Run(Url(P("restart.bin")), task);
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.received.load(), 500000);
  EXPECT_EQ(task.total.load(), 500000);
  std::string got = ReadFileBytes(task.localPath);
  EXPECT_EQ(got.size(), content.size());
  EXPECT_TRUE(got == content) << "file not restarted cleanly";

  auto seen = gameserver::Requests(P("restart.bin"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].range, "bytes=200000-");
  EXPECT_EQ(seen[1].status, 200);
}

TEST_P(Download, EmptyBodyCreatesNoFile) {
  ASSERT_TRUE(gameserver::Publish(P("empty.txt"), ""));
  DownloadTask task;
  task.localPath = Target(L"empty.txt");
  Run(Url(P("empty.txt")), task);
  EXPECT_EQ(task.error, "");
  EXPECT_FALSE(base::PathExists(task.localPath));
  EXPECT_FALSE(base::PathExists(base::DirectoryPart(task.localPath)));
}

TEST_P(Download, StopAllEndsAJobWaitingOnASilentServer) {
  ASSERT_TRUE(gameserver::Publish(P("slow.bin"), std::string(10000, 's')));
  ASSERT_TRUE(gameserver::AddFault(P("slow.bin"), "delay_ms=5000"));
  std::string url = Url(P("slow.bin"));
  DownloadTask task;
  task.localPath = Target(L"slow.bin");
  StartDownload(jobs, "test", url, &task);
  Sleep(1000);  // connected, request sent, waiting for the answer
  ASSERT_EQ(task.finished.load(), 0u);
  ULONGLONG started = GetTickCount64();
  StopAll(jobs);
  ULONGLONG took = GetTickCount64() - started;
  EXPECT_TRUE(jobs.empty());
  EXPECT_EQ(task.finished.load(), 1u);
  // The server holds back even the status line: the stop does not wait for it.
  EXPECT_EQ(task.error, "http response failed, isrun:0, res:NULL, status: 0, url: " + url);
  EXPECT_LT(took, 1500u) << "StopAll waited on the server";
  EXPECT_FALSE(base::PathExists(task.localPath));
}

TEST_P(Download, StopDuringTheRetryPauseEndsTheJob) {
  ASSERT_TRUE(gameserver::Publish(P("pause.bin"), std::string(5000, 'p')));
  ASSERT_TRUE(gameserver::AddFault(P("pause.bin"), "drop_after=100&times=0"));
  SetRetryPauseForTesting(60000);
  DownloadTask task;
  task.localPath = Target(L"pause.bin");
  StartDownload(jobs, "test", Url(P("pause.bin")), &task);
  for (int i = 0; i < 500 && gameserver::Requests(P("pause.bin")).empty(); ++i) Sleep(10);
  Sleep(200);
  StopAll(jobs);  // must not sit out the minute-long pause
  EXPECT_EQ(task.finished.load(), 1u);
  EXPECT_EQ(gameserver::Requests(P("pause.bin")).size(), 1u);
  EXPECT_EQ(ReadFileBytes(task.localPath), std::string(100, 'p'));  // a failed request keeps its part
}

TEST_P(Download, FileOpenElsewhereIsNotRetried) {
  ASSERT_TRUE(gameserver::Publish(P("locked.bin"), "fresh content"));
  DownloadTask task;
  task.localPath = Target(L"locked.bin");
  ASSERT_EQ(base::CreateDirectoryTree(base::DirectoryPart(task.localPath)), 0u);
  base::UniqueFile holder(CreateFileW(task.localPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.Valid());
  Run(Url(P("locked.bin")), task);
  EXPECT_EQ(task.errorCode, 32u);
  EXPECT_EQ(task.error,
            "Create local file failed: " + base::Utf8(task.localPath) + ", error code: 32");
  EXPECT_EQ(gameserver::Requests(P("locked.bin")).size(), 1u);
}

TEST_P(Download, FolderThatCannotBeMadeIsReported) {
  ASSERT_TRUE(gameserver::Publish(P("nodir.bin"), "x"));
  // A file stands where the folder should be.
  std::wstring blocker = Target(L"blocker");
  ASSERT_EQ(base::CreateDirectoryTree(base::DirectoryPart(blocker)), 0u);
  ASSERT_TRUE(base::WriteWholeFile(blocker, "file"));
  DownloadTask task;
  task.localPath = base::JoinPath(blocker, L"nodir.bin");
  Run(Url(P("nodir.bin")), task);
  EXPECT_NE(task.errorCode, 0u);
  EXPECT_EQ(task.error, "Create local dir failed: " + base::Utf8(blocker) +
                            ", error code: " + std::to_string(task.errorCode));
  // Retried like any passing failure: the whole limit of 31 attempts.
  EXPECT_EQ(gameserver::Requests(P("nodir.bin")).size(), 31u);
}

TEST_P(Download, RetriesStopAtTheLimit) {
  ASSERT_TRUE(gameserver::Publish(P("limit.bin"), std::string(1000, 'l')));
  ASSERT_TRUE(gameserver::AddFault(P("limit.bin"), "drop_after=0&times=0"));
  DownloadTask task;
  task.localPath = Target(L"limit.bin");
  std::string url = Url(P("limit.bin"));
  Run(url, task);
  EXPECT_EQ(task.error, "http response failed, isrun:1, res:NULL, status: 200, url: " + url);
  EXPECT_EQ(gameserver::Requests(P("limit.bin")).size(), 31u);  // the first try and 30 retries
}

TEST_F(DownloadStart, ThreadThatCannotStartEndsTheJob) {
  // No address space can hold this stack, so the thread cannot be created.
  SetRequestThreadStackForTesting(size_t(1) << 52);
  DownloadTask task;
  StartDownload(jobs, "test", gameserver::ServerUrl("/net/never.txt"), &task);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0]->done.load(), 1u);
  EXPECT_EQ(task.finished.load(), 1u);
  EXPECT_TRUE(base::StartsWith(task.error, "start request thread failed: ")) << task.error;
  StopAll(jobs);
  EXPECT_TRUE(jobs.empty());
}

// ---- Resume across runs: a record beside the file names the resource ----

class DownloadAcrossRuns : public Download {
 protected:
  // A first "run" that is stopped once some bytes are on disk.
  void Interrupt(const std::string& url, const std::wstring& target) {
    DownloadTask task;
    task.localPath = target;
    DownloadJobList first;
    StartDownload(first, "test", url, &task);
    for (int i = 0; i < 3000 && task.received.load() < 100000; ++i) Sleep(10);
    StopAll(first);
    ASSERT_GE(task.received.load(), 100000) << task.error;
    ASSERT_NE(task.error, "");
  }
  static int64_t SizeOf(const std::wstring& path) { return static_cast<int64_t>(support::ReadFileBytes(path).size()); }
};

TEST_P(DownloadAcrossRuns, StoppedDownloadGoesOnFromTheBytesOnDisk) {
  std::string content = gameserver::TestBytes(800000, 11);
  ASSERT_TRUE(gameserver::Publish(P("across.bin"), content));
  ASSERT_TRUE(gameserver::AddFault(P("across.bin"), "rate=100000"));
  std::string url = Url(P("across.bin"));
  std::wstring target = Target(L"across.bin");
  Interrupt(url, target);
  int64_t onDisk = SizeOf(target);
  ASSERT_GT(onDisk, 0);
  ASSERT_LT(onDisk, 800000);
  EXPECT_TRUE(base::PathExists(ResumeRecordPath(target)));

  DownloadTask task;
  task.localPath = target;
  Run(url, task);
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.received.load(), 800000);
  EXPECT_EQ(task.total.load(), 800000);
  EXPECT_TRUE(support::ReadFileBytes(target) == content) << "resumed file differs from the source";
  EXPECT_FALSE(base::PathExists(ResumeRecordPath(target))) << "the record goes with a complete download";
  auto ranged = gameserver::RangedRequests(P("across.bin"));
  ASSERT_EQ(ranged.size(), 1u);
  EXPECT_EQ(ranged[0].range, "bytes=" + std::to_string(onDisk) + "-");
  EXPECT_EQ(ranged[0].status, 206);
}

TEST_P(DownloadAcrossRuns, WholeLeftoverIsAnswered416AndKept) {
  std::string content = gameserver::TestBytes(300000, 12);
  ASSERT_TRUE(gameserver::Publish(P("whole.bin"), content));
  std::string url = Url(P("whole.bin"));
  std::wstring target = Target(L"whole.bin");
  {
    DownloadTask first;
    first.localPath = target;
    first.resumableAfterSuccess = true;  // as the package download does until it is unpacked
    Run(url, first);
    ASSERT_EQ(first.error, "");
    StopAll(jobs);
  }
  ASSERT_TRUE(base::PathExists(ResumeRecordPath(target)));

  DownloadTask task;
  task.localPath = target;
  Run(url, task);
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.received.load(), 300000);
  EXPECT_EQ(task.total.load(), 300000);
  EXPECT_TRUE(support::ReadFileBytes(target) == content);
  EXPECT_FALSE(base::PathExists(ResumeRecordPath(target)));
  auto seen = gameserver::Requests(P("whole.bin"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].range, "bytes=300000-");
  EXPECT_EQ(seen[1].status, 416);
}

TEST_P(DownloadAcrossRuns, FileChangedOnTheServerStartsOver) {
  std::string before = gameserver::TestBytes(600000, 13);
  ASSERT_TRUE(gameserver::Publish(P("changed.bin"), before));
  ASSERT_TRUE(gameserver::AddFault(P("changed.bin"), "rate=100000"));
  std::string url = Url(P("changed.bin"));
  std::wstring target = Target(L"changed.bin");
  Interrupt(url, target);
  Sleep(1100);  // a new modification time, whatever the file system's resolution
  std::string after = gameserver::TestBytes(500000, 14);
  ASSERT_TRUE(gameserver::Publish(P("changed.bin"), after));

  DownloadTask task;
  task.localPath = target;
  Run(url, task);
  EXPECT_EQ(task.error, "");
  EXPECT_TRUE(support::ReadFileBytes(target) == after) << "two versions spliced together";
  auto seen = gameserver::Requests(P("changed.bin"));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().range.compare(0, 6, "bytes="), 0) << "asked for the rest, with If-Range";
  EXPECT_EQ(seen.back().status, 200);
}

TEST_P(DownloadAcrossRuns, PartialFileWithoutARecordOrForAnotherUrlStartsOver) {
  std::string content = gameserver::TestBytes(200000, 15);
  ASSERT_TRUE(gameserver::Publish(P("norecord.bin"), content));
  std::string url = Url(P("norecord.bin"));
  std::wstring target = Target(L"norecord.bin");
  ASSERT_EQ(base::CreateDirectoryTree(base::DirectoryPart(target)), 0u);
  ASSERT_TRUE(base::WriteWholeFile(target, content.substr(0, 50000)));

  DownloadTask task;
  task.localPath = target;
  Run(url, task);
  EXPECT_EQ(task.error, "");
  EXPECT_TRUE(support::ReadFileBytes(target) == content);

  // Now a record of another resource beside a partial file.
  ASSERT_TRUE(base::WriteWholeFile(target, content.substr(0, 50000)));
  ResumeRecord other;
  other.url = Url(P("other.bin"));
  other.validator = "\"x\"";
  other.length = 200000;
  ASSERT_TRUE(base::WriteWholeFile(ResumeRecordPath(target), FormatResumeRecord(other)));
  task.Reset();
  task.localPath = target;
  StopAll(jobs);
  Run(url, task);
  EXPECT_EQ(task.error, "");
  EXPECT_TRUE(support::ReadFileBytes(target) == content);
  auto seen = gameserver::Requests(P("norecord.bin"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].range, "-");
  EXPECT_EQ(seen[1].range, "-");
}

TEST_P(DownloadAcrossRuns, LongerLeftoverWithoutARecordIsCutToTheNewBody) {
  std::string content = gameserver::TestBytes(120000, 16);
  ASSERT_TRUE(gameserver::Publish(P("shorter.bin"), content));
  std::wstring target = Target(L"shorter.bin");
  ASSERT_EQ(base::CreateDirectoryTree(base::DirectoryPart(target)), 0u);
  ASSERT_TRUE(base::WriteWholeFile(target, gameserver::TestBytes(300000, 17)));

  DownloadTask task;
  task.localPath = target;
  Run(Url(P("shorter.bin")), task);
  EXPECT_EQ(task.error, "");
  std::string got = support::ReadFileBytes(target);
  EXPECT_EQ(got.size(), content.size()) << "the old file's tail was left behind";
  EXPECT_TRUE(got == content);
}

TEST_P(DownloadAcrossRuns, ServerWithoutValidatorsIsNotResumedLater) {
  std::string content = gameserver::TestBytes(600000, 16);
  ASSERT_TRUE(gameserver::Publish(P("novalidator.bin"), content));
  ASSERT_TRUE(gameserver::AddFault(P("novalidator.bin"), "rate=100000&no_validators=1"));
  std::string url = Url(P("novalidator.bin"));
  std::wstring target = Target(L"novalidator.bin");
  Interrupt(url, target);
  EXPECT_FALSE(base::PathExists(ResumeRecordPath(target)));
  DownloadTask task;
  task.localPath = target;
  Run(url, task);
  EXPECT_EQ(task.error, "");
  EXPECT_TRUE(support::ReadFileBytes(target) == content);
  auto seen = gameserver::Requests(P("novalidator.bin"));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().range, "-");
}

// ---- Small in-memory requests ----

TEST_P(Download, SmallRequestIsRetriedAfterABrokenTransferButNotAfterAStatus) {
  ASSERT_TRUE(gameserver::Publish(P("small.txt"), "small body"));
  ASSERT_TRUE(gameserver::AddFault(P("small.txt"), "drop_after=4"));
  DownloadTask task;
  task.retryInMemory = true;
  Run(Url(P("small.txt")), task);
  EXPECT_EQ(task.error, "");
  EXPECT_EQ(task.BodyText(), "small body") << "the broken attempt's bytes are not kept";
  EXPECT_EQ(gameserver::Requests(P("small.txt")).size(), 2u);

  // Three attempts at most.
  ASSERT_TRUE(gameserver::AddFault(P("small2.txt"), "drop_after=0&times=0"));
  ASSERT_TRUE(gameserver::Publish(P("small2.txt"), "x"));
  DownloadTask broken;
  broken.retryInMemory = true;
  std::string url2 = Url(P("small2.txt"));
  Run(url2, broken);
  EXPECT_EQ(broken.error, "http response failed, isrun:1, res:NULL, status: 200, url: " + url2);
  EXPECT_EQ(gameserver::Requests(P("small2.txt")).size(), 3u);

  // An answer with a status is an answer: never retried.
  ASSERT_TRUE(gameserver::AddFault(P("small3.txt"), "status=503"));
  ASSERT_TRUE(gameserver::Publish(P("small3.txt"), "x"));
  DownloadTask refused;
  refused.retryInMemory = true;
  Run(Url(P("small3.txt")), refused);
  EXPECT_NE(refused.error, "");
  EXPECT_EQ(gameserver::Requests(P("small3.txt")).size(), 1u);

  // Without the flag (statistics reports) there is no retry at all.
  ASSERT_TRUE(gameserver::AddFault(P("small4.txt"), "drop_after=0"));
  ASSERT_TRUE(gameserver::Publish(P("small4.txt"), "x"));
  DownloadTask plain;
  Run(Url(P("small4.txt")), plain);
  EXPECT_NE(plain.error, "");
  EXPECT_EQ(gameserver::Requests(P("small4.txt")).size(), 1u);
}

TEST_P(Download, PrefetchIsTakenOverOnceAndAnUntakenOneStopsWithoutWaiting) {
  ASSERT_TRUE(gameserver::Publish(P("early.txt"), "early answer"));
  ASSERT_TRUE(gameserver::Publish(P("held.txt"), "late"));
  ASSERT_TRUE(gameserver::AddFault(P("held.txt"), "delay_ms=5000"));
  std::atomic<int> ended{0};
  {
    Prefetches prefetches;
    prefetches.Start("early", "test", Url(P("early.txt")), body_limit::kText, [&] { ++ended; });
    prefetches.Start("held", "test", Url(P("held.txt")), body_limit::kText, {});
    std::unique_ptr<DownloadTask> task;
    EXPECT_FALSE(prefetches.Take("other", task, jobs));
    EXPECT_FALSE(task);
    ASSERT_TRUE(prefetches.Take("early", task, jobs));
    ASSERT_TRUE(task);
    std::unique_ptr<DownloadTask> again;
    EXPECT_FALSE(prefetches.Take("early", again, jobs));
    for (int i = 0; i < 1000 && task->finished.load() == 0; ++i) Sleep(10);
    ASSERT_EQ(task->finished.load(), 1u);
    EXPECT_EQ(task->error, "");
    EXPECT_EQ(task->BodyText(), "early answer");
    EXPECT_EQ(ended.load(), 1);
    StopAll(jobs);  // the taken job is the caller's now; it ends before its task goes

    ULONGLONG started = GetTickCount64();
    prefetches.Clear();
    EXPECT_LT(GetTickCount64() - started, 2500u) << "Clear waited on the server";
  }
}

INSTANTIATE_TEST_SUITE_P(Schemes, Download, ::testing::ValuesIn(e2e::kSchemes), e2e::SchemeName);
INSTANTIATE_TEST_SUITE_P(Schemes, DownloadAcrossRuns, ::testing::ValuesIn(e2e::kSchemes), e2e::SchemeName);

}  // namespace
