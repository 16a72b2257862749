// The package download state in the test process: the figures and the retry
// notice on its status line, and the stop for a drive without room.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/text.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/log_reader.h"
#include "install/drive_queries.h"
#include "state_driver.h"
#include "workflow/pkg_decompress_state.h"
#include "workflow/pkg_download_state.h"
#include "workflow/terminal_states.h"

namespace {

constexpr DWORD kStepTimeoutMs = 60000;
constexpr wchar_t kOwnText[] = L"正在准备客户端资源，请稍后...";

// The real drive queries, except for the free space.
class SmallDrive : public IDriveQueries {
 public:
  explicit SmallDrive(uint64_t free) : free_(free) {}
  bool AppDataFolder(std::wstring& folder) override { return real_.AppDataFolder(folder); }
  unsigned DriveType(const std::wstring& root) override { return real_.DriveType(root); }
  bool FreeBytes(const std::wstring& path, uint64_t& bytes) override {
    asked = path;
    bytes = free_;
    return true;
  }
  bool FolderExists(const std::wstring& path) override { return real_.FolderExists(path); }
  unsigned long CreateFolderTree(const std::wstring& path, bool& created) override {
    return real_.CreateFolderTree(path, created);
  }
  std::wstring asked;

 private:
  IDriveQueries& real_ = CurrentDriveQueries();
  uint64_t free_;
};

struct PackageStep : e2e::StateDriver {
  explicit PackageStep(const std::wstring& name, const std::string& path) : StateDriver(name) {
    config.pkgUrl = gameserver::ServerUrl(path + "-%d.zip");
    config.serverVersion = "105";
    support::OpenTestLog(scratch);
  }
  ~PackageStep() {
    SetDriveQueriesForTest(nullptr);
    SetRetryPauseForTesting(2000);
  }
  std::wstring Archive() const { return config.GetPkgDownloadPath(); }
};


}  // namespace

TEST(PkgDownloadStatus, FiguresAndRetryNoticeFollowTheStateText) {
  ASSERT_TRUE(gameserver::ResetFaults());
  PackageStep step(L"pkg-status", "/status-e2e/game");
  std::string package = gameserver::TestBytes(1536 * 1024, 31);
  ASSERT_TRUE(gameserver::Publish("/status-e2e/game-105.zip", package));
  ASSERT_TRUE(gameserver::AddFault("/status-e2e/game-105.zip", "rate=400000&drop_after=600000"));
  ASSERT_TRUE(gameserver::AddFault("/status-e2e/game-105.zip", "rate=400000"));
  SetRetryPauseForTesting(400);
  ASSERT_TRUE(step.RunUntilReplaced(new PkgDownloadState(&step.context), kStepTimeoutMs));
  ASSERT_NE(dynamic_cast<PkgDecompressState*>(step.context.state.get()), nullptr);
  EXPECT_TRUE(support::ReadFileBytes(step.Archive()) == package);

  const std::vector<std::wstring>& texts = step.page.statusTexts;
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), kOwnText);
  bool figures = false, retry = false, timeLeft = false;
  for (const std::wstring& t : texts) {
    SCOPED_TRACE(base::Utf8(t));
    EXPECT_EQ(t.compare(0, wcslen(kOwnText), kOwnText), 0) << "the state's own text stays first";
    if (t.find(L"/1.5M ") != std::wstring::npos && t.find(L"K/s") != std::wstring::npos) figures = true;
    if (t.find(L"剩余") != std::wstring::npos) timeLeft = true;
    if (t == std::wstring(kOwnText) + L" 网络中断，正在第1次重试...") retry = true;
  }
  EXPECT_TRUE(figures);
  EXPECT_TRUE(timeLeft);
  EXPECT_TRUE(retry) << "the broken connection is announced while it is retried";
  // The bar is fed with the bytes, resume offset included.
  ASSERT_FALSE(step.page.progress.empty());
  EXPECT_EQ(step.page.progress.back().second, static_cast<int64_t>(package.size()));
}

TEST(PkgDownloadStatus, TooLittleSpaceStopsAtOnceNamingBothSizes) {
  ASSERT_TRUE(gameserver::ResetFaults());
  PackageStep step(L"pkg-disk", "/disk-e2e/game");
  ASSERT_TRUE(gameserver::Publish("/disk-e2e/game-105.zip", gameserver::TestBytes(3 * 1024 * 1024, 32)));
  ASSERT_TRUE(gameserver::AddFault("/disk-e2e/game-105.zip", "rate=300000"));
  SmallDrive drive(1024 * 1024);
  SetDriveQueriesForTest(&drive);
  ASSERT_TRUE(step.RunUntilReplaced(new PkgDownloadState(&step.context), kStepTimeoutMs));
  auto* error = dynamic_cast<ErrorState*>(step.context.state.get());
  ASSERT_NE(error, nullptr);
  EXPECT_NE(error->Message().find("3.0 MB"), std::string::npos) << error->Message();
  EXPECT_NE(error->Message().find("1.0 MB"), std::string::npos) << error->Message();
  EXPECT_EQ(drive.asked, step.config.installDir);
  // Stopped long before the package was there, and not retried.
  EXPECT_LT(support::ReadFileBytes(step.Archive()).size(), 1024u * 1024u);
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("still to download, 1048576 free on the install drive"), std::string::npos) << log;
  EXPECT_EQ(log.find("request broken, retry"), std::string::npos) << log;
}

TEST(PkgDownloadStatus, ResumedDownloadStartsTheBarWhereItWas) {
  ASSERT_TRUE(gameserver::ResetFaults());
  PackageStep step(L"pkg-resume-bar", "/resume-bar-e2e/game");
  std::string package = gameserver::TestBytes(1536 * 1024, 33);
  ASSERT_TRUE(gameserver::Publish("/resume-bar-e2e/game-105.zip", package));
  ASSERT_TRUE(gameserver::AddFault("/resume-bar-e2e/game-105.zip", "rate=300000"));
  (new PkgDownloadState(&step.context))->MakeCurrent();
  for (int i = 0; i < 1500 && support::ReadFileBytes(step.Archive()).size() < 300000; ++i) {
    step.Tick();
    Sleep(20);
  }
  step.context.state.reset();  // the run ends here; its download stops with it
  int64_t partial = static_cast<int64_t>(support::ReadFileBytes(step.Archive()).size());
  ASSERT_GE(partial, 300000);

  step.page.progress.clear();
  ASSERT_TRUE(step.RunUntilReplaced(new PkgDownloadState(&step.context), kStepTimeoutMs));
  ASSERT_NE(dynamic_cast<PkgDecompressState*>(step.context.state.get()), nullptr);
  EXPECT_TRUE(support::ReadFileBytes(step.Archive()) == package);
  ASSERT_FALSE(step.page.progress.empty());
  bool resumedSeen = false;
  for (const auto& [done, total] : step.page.progress) {
    // Before the job has looked at the disk the bar may still be empty; it
    // never shows less than the bytes kept from the earlier run.
    EXPECT_TRUE(done == 0 || done >= partial) << done << " of " << total;
    if (done >= partial) {
      resumedSeen = true;
      EXPECT_EQ(total, static_cast<int64_t>(package.size()));
    }
  }
  EXPECT_TRUE(resumedSeen);
  EXPECT_NE(support::ReadTestLog().find("resuming "), std::string::npos);
}
