// Ending a running program by the full path of its executable.
#include "install/kill_process.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/scratch_folder.h"
#include "test_game.h"

namespace {

constexpr DWORD kStartTimeoutMs = 20000;

// A started copy that is ended again when the test leaves.
struct Running : support::LauncherRun {
  explicit Running(const std::wstring& exe) { started = e2e::StartStayingGame(*this, exe); }
  bool Ended(DWORD waitMs, DWORD* code = nullptr) { return WaitExit(waitMs, code); }
  bool started = false;
};

std::wstring Upper(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(towupper(c));
  return s;
}

}  // namespace

TEST(KillProcessByPath, EndsTheCopyFromThatPathAndSparesTheSameNameElsewhere) {
  std::wstring dir = support::ScratchDir(L"kill-path");
  std::wstring target = dir + L"\\inst\\vorn\\vorn.exe";
  std::wstring elsewhere = dir + L"\\other\\vorn\\vorn.exe";
  ASSERT_TRUE(e2e::PlaceTestGame(target));
  ASSERT_TRUE(e2e::PlaceTestGame(elsewhere));
  Running other(elsewhere);
  Running game(target);
  ASSERT_TRUE(other.started && game.started);
  ASSERT_TRUE(e2e::WaitForStarts(target, 1, kStartTimeoutMs));
  ASSERT_TRUE(e2e::WaitForStarts(elsewhere, 1, kStartTimeoutMs));

  // The path is compared without regard to case.
  EXPECT_TRUE(KillProcessByPath(base::Utf8(Upper(target))));
  DWORD code = 1;
  EXPECT_TRUE(game.Ended(5000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(other.Ended(300));
  // Nothing from that path runs any more.
  EXPECT_FALSE(KillProcessByPath(base::Utf8(target)));
  EXPECT_FALSE(other.Ended(0));
}

TEST(KillProcessByPath, EndsOnlyOneOfTwoCopiesPerCall) {
  std::wstring dir = support::ScratchDir(L"kill-first");
  std::wstring target = dir + L"\\游戏\\vorn.exe";  // a path outside ASCII
  ASSERT_TRUE(e2e::PlaceTestGame(target));
  Running first(target);
  Running second(target);
  ASSERT_TRUE(e2e::WaitForStarts(target, 2, kStartTimeoutMs));

  EXPECT_TRUE(KillProcessByPath(base::Utf8(target)));
  Sleep(300);
  int ended = (first.Ended(0) ? 1 : 0) + (second.Ended(0) ? 1 : 0);
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(KillProcessByPath(base::Utf8(target)));
  EXPECT_TRUE(first.Ended(5000));
  EXPECT_TRUE(second.Ended(5000));
}

TEST(KillProcessByPath, NoMatchingProcessGivesFalse) {
  std::wstring dir = support::ScratchDir(L"kill-none");
  EXPECT_FALSE(KillProcessByPath(base::Utf8(dir + L"\\vorn\\vorn.exe")));
  EXPECT_FALSE(KillProcessByPath(""));
}
