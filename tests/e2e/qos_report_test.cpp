// Statistics reports against the local game server (CTest fixture "game_server").
// The reporter is one record per process, so the run is one test in order,
// reporting to a path of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "net/qos_format.h"
#include "net/qos_reporter.h"
#include "net/qos_system.h"
#include "support/game_server.h"
#include "support/launcher_harness.h"

namespace {

const char kReportPath[] = "/qos/net-test";

// This test's report lines with sequence `seq`, once `count` of them arrived (bounded wait).
std::vector<std::string> WaitForReports(const std::string& seq, size_t count) {
  std::vector<std::string> mine;
  for (int i = 0; i < 500; ++i) {
    mine.clear();
    for (const std::string& line : gameserver::QosLines())
      if (gameserver::QosField(line, "path") == kReportPath && gameserver::QosField(line, "S") == seq)
        mine.push_back(line);
    if (mine.size() >= count) break;
    Sleep(20);
  }
  return mine;
}

bool IsLowerHex32(const std::string& s) {
  return s.size() == 32 && std::all_of(s.begin(), s.end(), [](char c) {
           return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f');
         });
}

TEST(QosReports, OneRunOfReports) {
  ASSERT_NE(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
  ASSERT_TRUE(gameserver::ResetFaults());
  ResetQosSequenceForTesting();
  QosReporter r;

  // Before the configuration names a server nothing happens.
  r.url.clear();
  reportQos(r, qos::kLaunchGameFailed);
  EXPECT_EQ(r.qosStartAt, 0);
  EXPECT_EQ(r.sQosSeq, "");

  r.url = gameserver::ServerUrl(kReportPath);
  r.plat = "pc";
  r.skey = "sk-1/k=";  // base64 keys carry "/" and "=": they arrive as they are
  r.uid = "77";
  reportQos(r, qos::kTokenstart);
  ASSERT_NE(r.qosStartAt, 0);
  ASSERT_TRUE(IsLowerHex32(r.sQosSeq)) << r.sQosSeq;
  // The seed: adapter address, the time in seconds, and the process's first counter value.
  std::string address = NetworkAddressText();
  bool seedMatches = false;
  for (int32_t t = r.qosStartAt; t <= r.qosStartAt + 1; ++t)
    seedMatches |= Md5Hex(address + std::to_string(t) + "1") == r.sQosSeq;
  EXPECT_TRUE(seedMatches) << "sequence not made from address " << address << ", time and 1";
  EXPECT_EQ(r.version, "");  // the test program has no version resource

  std::vector<std::string> first = WaitForReports(r.sQosSeq, 1);
  ASSERT_EQ(first.size(), 1u);
  std::string j = gameserver::QosField(first[0], "J");
  EXPECT_TRUE(j == "0" || j == "1") << j;
  EXPECT_EQ(gameserver::QosField(first[0], "RAW"),
            "KZ={G:1;S:" + r.sQosSeq + ";W:sk-1/k=;U:0;N:77;T:3;Tokenstart;AGENT:;OS:" +
                RunningOsName() + ";J:" + j + ";V:;PLAT:pc;}");

  // Reports in flight together each arrive whole, all with the run's sequence.
  std::string seq = r.sQosSeq;
  int32_t startAt = r.qosStartAt;
  reportQos(r, qos::kDownloadPkgStart);
  reportQos(r, qos::kDownloadPkgOk);
  reportQos(r, qos::kDecompressPkgStart);
  reportQos(r, qos::kDecompressPkgOk);
  EXPECT_EQ(r.sQosSeq, seq);
  EXPECT_EQ(r.qosStartAt, startAt);
  std::vector<std::string> all = WaitForReports(seq, 5);
  ASSERT_EQ(all.size(), 5u);
  std::string events;
  for (const std::string& line : all) {
    events += gameserver::QosField(line, "T") + ":" + gameserver::QosField(line, "EVENT") + " ";
    EXPECT_EQ(gameserver::QosField(line, "G"), "1");
    EXPECT_EQ(gameserver::QosField(line, "PLAT"), "pc");
  }
  for (const char* e : {"3:Tokenstart ", "10:DownloadPkgStart ", "11:DownloadPkgOk ",
                        "20:DecompressPkgStart ", "21:DecompressPkgOk "})
    EXPECT_NE(events.find(e), std::string::npos) << events;
  EXPECT_EQ(events.find("27:"), std::string::npos);  // dropped before the server was known

  // At exit a report stuck on a slow server does not hold the process.
  ASSERT_TRUE(gameserver::AddFault(kReportPath, "delay_ms=4000"));
  reportQos(r, qos::kLaunchGameOk);
  Sleep(200);
  ULONGLONG before = GetTickCount64();
  StopQosReports(300);
  EXPECT_LT(GetTickCount64() - before, 3000u);
  gameserver::ResetFaults();
  // Let the abandoned report end before the process does.
  EXPECT_EQ(WaitForReports(seq, 6).size(), 6u);
  Sleep(200);
  ResetQosSequenceForTesting();
}

TEST(QosReports, VersionComesFromTheLauncherResource) {
  std::string version = FileVersionOf(support::LauncherExe());
  EXPECT_EQ(version, VORN_VERSION_TEXT);
}

}  // namespace

TEST(QosReports, ValuesFromAPageOrServerStayInsideTheirItemsOverBothSchemes) {
  // "skey=a#b;T:99}" used to cut the report at "#" and could forge items.
  ASSERT_NE(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
  const std::string path = "/qos/net-test-hostile";
  for (bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "https" : "http");
    ResetQosSequenceForTesting();
    QosReporter r;
    r.url = tls ? gameserver::ServerTlsUrl(path) : gameserver::ServerUrl(path);
    r.plat = "pc";
    r.skey = "a#b;T:99};N:1&x=%41 \xE7\x8E\xA9";
    r.uid = "9;W:forged}";
    reportQos(r, qos::kLaunchGameStart);
    std::vector<std::string> mine;
    for (int i = 0; i < 500 && mine.empty(); ++i) {
      for (const std::string& line : gameserver::QosLines())
        if (gameserver::QosField(line, "path") == path && gameserver::QosField(line, "S") == r.sQosSeq)
          mine.push_back(line);
      if (mine.empty()) Sleep(20);
    }
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(gameserver::QosField(mine[0], "W"), r.skey);
    EXPECT_EQ(gameserver::QosField(mine[0], "N"), r.uid);
    EXPECT_EQ(gameserver::QosField(mine[0], "T"), "25");
    EXPECT_EQ(gameserver::QosField(mine[0], "EVENT"), "LaunchGameStart");
    EXPECT_EQ(gameserver::QosField(mine[0], "PLAT"), "pc");
    StopQosReports(3000);
    ResetQosSequenceForTesting();
  }
}
