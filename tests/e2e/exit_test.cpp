// The end of a run: a slow statistics server must not keep the finished
// launcher (and its single-instance lock) alive.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "game_publication.h"
#include "support/game_server.h"

namespace e2e {
namespace {

class RunEnd : public WorkflowTest {};

TEST_F(RunEnd, HangingStatisticsServerDoesNotHoldTheFinishedLauncher) {
  std::string current = "105";
  PrepareInstallFolder(&current);
  PublishServerVersion("105");
  PublishConfig();
  PublishReply("tok", "uid=1&skey=k");
  // Every report is held for 40 s before the server answers.
  ASSERT_TRUE(gameserver::AddFault("/qos", "delay_ms=40000,times=0"));
  DWORD start = GetTickCount();
  RunResult run = Run(L"vorn-pc-tok.exe");
  DWORD elapsed = GetTickCount() - start;
  gameserver::ResetFaults();
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(run.boxes.empty());
  // The launch itself went through; only the reports were slow.
  EXPECT_NE(run.log.find("LaunchGameStart: userInfo:"), std::string::npos) << run.log;
  // An unbounded wait for the reports at exit would last until their answers.
  EXPECT_LT(elapsed, 35000u) << run.log;
}

}  // namespace
}  // namespace e2e
