#include "base/log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "base/fs.h"
#include "support/files.h"
#include "support/log_reader.h"
#include "support/scratch_folder.h"

namespace {

using support::Lines;

std::wstring TempLogPath(const wchar_t* sub) {
  return support::TempFolder() + L"vorn-unit\\" + sub + L"\\nested\\run.log";
}

std::string ReadFile(const std::wstring& path) { return support::ReadFileBytes(path); }

}  // namespace

TEST(Log, FailedOpenLeavesLoggingOffButStillFormats) {
  // A folder cannot be made below an existing file.
  std::wstring blocker = support::TempFolder() + L"vorn-unit-blocker";
  ASSERT_TRUE(base::WriteWholeFile(blocker, "x"));
  LogOpen(blocker + L"\\sub\\run.log");
  EXPECT_EQ(LogPath(), L"");
  EXPECT_EQ(Log("value %d and %s", 42, "text"), "value 42 and text");
  EXPECT_FALSE(base::PathExists(blocker + L"\\sub"));
}

TEST(Log, OpenCreatesTheFolderAndStartsWithTheBanner) {
  std::wstring path = TempLogPath(L"banner");
  LogOpen(path);
  ASSERT_EQ(LogPath(), path);
  EXPECT_EQ(Log("hello %s", "world"), "hello world");
  std::vector<std::string> lines = Lines(ReadFile(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "=====================start=====================");
  // "<YYYY-MM-DD HH:MM:SS> hello world"
  ASSERT_EQ(lines[1].size(), 22u + 11u) << lines[1];
  EXPECT_EQ(lines[1].substr(0, 1), "<");
  EXPECT_EQ(lines[1].substr(20), "> hello world");

  // A second open truncates: the earlier lines are gone.
  LogOpen(path);
  Log("again");
  lines = Lines(ReadFile(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(20), "> again");
}

TEST(Log, LongMessagesAreCutTo4094Bytes) {
  std::wstring path = TempLogPath(L"long");
  LogOpen(path);
  std::string big(5000, 'x');
  std::string returned = Log("%s", big.c_str());
  EXPECT_EQ(returned.size(), 4094u);
  std::vector<std::string> lines = Lines(ReadFile(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].size(), 22u + 4094u);
}

TEST(Log, LinesFromManyThreadsNeverInterleave) {
  std::wstring path = TempLogPath(L"threads");
  LogOpen(path);
  const int kThreads = 4, kLines = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      std::string payload(300, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) {
        std::string back = Log("t%d %s", t, payload.c_str());
        // Each caller gets its own message back, not another thread's.
        ASSERT_EQ(back, "t" + std::to_string(t) + " " + payload);
      }
    });
  for (auto& th : threads) th.join();
  std::vector<std::string> lines = Lines(ReadFile(path));
  ASSERT_EQ(lines.size(), 1u + kThreads * kLines);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    ASSERT_EQ(line.size(), 22u + 3u + 300u) << i;
    char c = line[22 + 1];
    int t = c - '0';
    EXPECT_EQ(line.substr(22 + 3), std::string(300, static_cast<char>('a' + t))) << i;
  }
}
