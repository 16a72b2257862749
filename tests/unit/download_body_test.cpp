#include <gtest/gtest.h>

#include <string>

#include "net/download_task.h"

TEST(DownloadBody, StartsWithRoomForFourKilobytes) {
  DownloadTask task;
  EXPECT_EQ(task.bodyCapacity, 4096u);
  EXPECT_EQ(task.bodySize, 0u);
  EXPECT_EQ(task.received.load(), 0);
  EXPECT_EQ(task.total.load(), 1);
}

TEST(DownloadBody, KeepsRoomForTheTerminatingZero) {
  DownloadTask task;
  std::string block(4095, 'a');
  ASSERT_TRUE(task.AppendBody(block.data(), block.size()));
  EXPECT_EQ(task.bodyCapacity, 4096u);  // 4095 bytes and the zero fit
  const char* first = task.body.get();
  ASSERT_TRUE(task.AppendBody("b", 1));
  EXPECT_EQ(task.bodyCapacity, 8192u);
  EXPECT_NE(task.body.get(), first);
  EXPECT_EQ(task.bodySize, 4096u);
  EXPECT_EQ(task.BodyText(), block + "b");
}

TEST(DownloadBody, ManyGrowthsKeepEveryByte) {
  DownloadTask task;
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    std::string block(997 + i, static_cast<char>('A' + i % 26));
    ASSERT_TRUE(task.AppendBody(block.data(), block.size()));
    expected += block;
    ASSERT_LT(task.bodySize, task.bodyCapacity);
  }
  EXPECT_EQ(std::string(task.body.get(), task.bodySize), expected);
  // Doubling from 4096: the smallest power-of-two multiple that holds it all.
  size_t capacity = 4096;
  while (capacity < expected.size() + 1) capacity *= 2;
  EXPECT_EQ(task.bodyCapacity, capacity);
}

TEST(DownloadBody, OneLargeBlockGrowsInOneStep) {
  DownloadTask task;
  std::string block(20000, 'x');
  ASSERT_TRUE(task.AppendBody(block.data(), block.size()));
  EXPECT_EQ(task.bodyCapacity, 32768u);
  EXPECT_EQ(task.bodySize, 20000u);
}

TEST(DownloadBody, ResetKeepsTheBufferAndClearsTheOutcome) {
  DownloadTask task;
  std::string block(10000, 'x');
  task.AppendBody(block.data(), block.size());
  task.localPath = L"C:\\x";
  task.error = "failed";
  task.errorCode = 32;
  task.received = 5;
  task.total = 9;
  task.finished = 1;
  task.Reset();
  EXPECT_EQ(task.bodySize, 0u);
  EXPECT_EQ(task.bodyCapacity, 16384u);
  EXPECT_TRUE(task.localPath.empty());
  EXPECT_TRUE(task.error.empty());
  EXPECT_EQ(task.errorCode, 0u);
  EXPECT_EQ(task.received.load(), 0);
  EXPECT_EQ(task.total.load(), 1);
  EXPECT_EQ(task.finished.load(), 0u);
}

TEST(DownloadBody, TextStopsAtTheFirstZeroByte) {
  DownloadTask task;
  task.AppendBody("105\0tail", 8);
  EXPECT_EQ(task.BodyText(), "105");
  EXPECT_EQ(task.bodySize, 8u);
}

TEST(DownloadJobs, StopAllOnAnEmptyListReturns) {
  DownloadJobList jobs;
  StopAll(jobs);
  EXPECT_TRUE(jobs.empty());
}

TEST(DownloadJobs, EndedJobsAreFreedWithoutWaiting) {
  DownloadTask a, b;
  DownloadJobList jobs;
  for (DownloadTask* t : {&a, &b}) {
    auto job = std::make_unique<DownloadJob>();
    job->task = t;
    job->done = 1;
    jobs.push_back(std::move(job));
  }
  jobs.push_back(std::make_unique<DownloadJob>());  // stands for a thread that has not ended
  DownloadJob* running = jobs.back().get();
  running->task = &b;

  std::vector<DownloadTask*> freed = FreeEndedJobs(jobs);
  ASSERT_EQ(freed.size(), 2u);
  EXPECT_EQ(freed[0], &a);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].get(), running);

  // A bounded stop leaves a job that never ends in the list rather than free it.
  EXPECT_TRUE(StopAllWithin(jobs, 20).empty());
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(running->isrun.load(), 0);
  running->done = 1;
  StopAll(jobs);
  EXPECT_TRUE(jobs.empty());
}
