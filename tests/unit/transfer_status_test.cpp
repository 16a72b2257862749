#include <gtest/gtest.h>

#include "workflow/transfer_status.h"

TEST(TransferStatus, ByteSizesStepUpAt1024) {
  EXPECT_EQ(ByteSizeText(0), L"0 B");
  EXPECT_EQ(ByteSizeText(-5), L"0 B");
  EXPECT_EQ(ByteSizeText(1023), L"1023 B");
  EXPECT_EQ(ByteSizeText(1024), L"1.0 KB");
  EXPECT_EQ(ByteSizeText(126353408), L"120.5 MB");
  EXPECT_EQ(ByteSizeText(1288490189), L"1.2 GB");
  // Never "1024.0 MB": such a value is shown in the next unit.
  EXPECT_EQ(ByteSizeText(1024LL * 1024 * 1024 - 1), L"1.0 GB");
  EXPECT_EQ(ByteSizeText(1023LL * 1024 * 1024), L"1023.0 MB");
  EXPECT_EQ(ByteSizeText(INT64_MAX), L"8388608.0 TB");
}

TEST(TransferStatus, CompactSizesKeepADecimalOnlyBelowTen) {
  EXPECT_EQ(CompactSizeText(0), L"0B");
  EXPECT_EQ(CompactSizeText(1023), L"1023B");
  EXPECT_EQ(CompactSizeText(1024), L"1.0K");
  EXPECT_EQ(CompactSizeText(10188), L"9.9K");
  EXPECT_EQ(CompactSizeText(10230), L"10K");  // 9.99 would print as "10.0"
  EXPECT_EQ(CompactSizeText(126353408), L"120M");
  EXPECT_EQ(CompactSizeText(1288490189), L"1.2G");
  EXPECT_EQ(CompactSizeText(1023LL * 1024 * 1024), L"1023M");
  EXPECT_EQ(CompactSizeText(1024LL * 1024 * 1024 - 1), L"1.0G");  // never "1024M"
}

TEST(TransferStatus, SpeedAndTimeLeft) {
  EXPECT_EQ(SpeedText(36909875.2), L"35M/s");
  EXPECT_EQ(SpeedText(2516582.4), L"2.4M/s");
  EXPECT_EQ(SpeedText(0), L"");
  EXPECT_EQ(SpeedText(-1), L"");
  EXPECT_EQ(SpeedText(1.0 / 0.0), L"");
  EXPECT_EQ(TimeLeftText(0), L"剩余0秒");
  EXPECT_EQ(TimeLeftText(59), L"剩余59秒");
  EXPECT_EQ(TimeLeftText(60), L"剩余1分钟");
  EXPECT_EQ(TimeLeftText(61), L"剩余2分钟");  // rounded up: never promise too little
  EXPECT_EQ(TimeLeftText(3600), L"剩余1小时");
  EXPECT_EQ(TimeLeftText(3601), L"剩余2小时");
  EXPECT_EQ(TimeLeftText(99 * 3600 + 1), L"");
  EXPECT_EQ(TimeLeftText(-1), L"");
}

TEST(TransferStatus, FiguresAfterTheStatusText) {
  const int64_t MB = 1024 * 1024;
  // 100 MB left at 10 MB/s.
  EXPECT_EQ(TransferFiguresText(100 * MB, 200 * MB, 10.0 * MB), L" 100M/200M 10M/s 剩余10秒");
  // Speed not known yet: sizes only.
  EXPECT_EQ(TransferFiguresText(100 * MB, 200 * MB, -1), L" 100M/200M");
  // The task's total of 1 means "unknown"; so does a total below what came.
  EXPECT_EQ(TransferFiguresText(5 * MB, 1, 1.0 * MB), L" 5.0M 1.0M/s");
  EXPECT_EQ(TransferFiguresText(5 * MB, 2 * MB, 1.0 * MB), L" 5.0M 1.0M/s");
  // Complete: nothing left to wait for.
  EXPECT_EQ(TransferFiguresText(2 * MB, 2 * MB, 1.0 * MB), L" 2.0M/2.0M 1.0M/s");
  // A crawl that would take longer than anyone waits shows no time at all.
  EXPECT_EQ(TransferFiguresText(0, 100 * MB, 1), L" 0B/100M 1B/s");
}

TEST(TransferStatus, RetryAndDiskTextsNameTheirNumbers) {
  EXPECT_EQ(RetryText(2), L" 网络中断，正在第2次重试...");
  std::wstring disk = DiskSpaceText(1288490189, 314572800);
  EXPECT_NE(disk.find(L"1.2 GB"), std::wstring::npos);
  EXPECT_NE(disk.find(L"300.0 MB"), std::wstring::npos);
}

TEST(SpeedMeter, SpeedOverTheRecentWindow) {
  SpeedMeter m;
  EXPECT_LT(m.BytesPerSecond(), 0);
  m.Add(1000, 0);
  m.Add(1200, 100000);
  EXPECT_LT(m.BytesPerSecond(), 0) << "too short a span to tell";
  m.Add(2000, 1000000);
  EXPECT_DOUBLE_EQ(m.BytesPerSecond(), 1000000.0);
  // Old samples leave the window: a slower phase shows within seconds.
  for (uint64_t t = 3000; t <= 12000; t += 1000) m.Add(t, 1000000 + static_cast<int64_t>(t - 2000) * 10);
  EXPECT_NEAR(m.BytesPerSecond(), 10000.0, 2500.0);
  // A count that goes back (the transfer started over) restarts the meter.
  m.Add(13000, 5);
  EXPECT_LT(m.BytesPerSecond(), 0);
  m.Add(14000, 2005);
  EXPECT_DOUBLE_EQ(m.BytesPerSecond(), 2000.0);
  m.Restart();
  EXPECT_LT(m.BytesPerSecond(), 0);
}
