// The package across runs as a player meets it: a launcher killed during the
// download goes on where it stopped, and an update that could not be
// unpacked whole is not marked current, keeps its archive and is finished by
// the next run.
#include <gtest/gtest.h>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "game_publication.h"
#include "net/resume_record.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/launcher_harness.h"
#include "support/log_reader.h"
#include "support/scratch_folder.h"
#include "support/zip_writer.h"

namespace e2e {
namespace {

class PkgDownloadAcrossRuns : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    if (HasFatalFailure()) return;
    PublishReply("tok", "uid=1&skey=s");
    std::string older = "104";
    PrepareInstallFolder(&older);
    PublishServerVersion("105");
  }
  std::wstring Archive() const { return InstallDir() + L"game.pkg.downloading"; }
  std::wstring Data() const { return InstallDir() + L"game\\data.bin"; }
  int64_t SizeOf(const std::wstring& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  // The package of version 105 with `data` as game/data.bin.
  void PublishPackageWith(const std::string& data, bool corrupt) {
    ZipItem item = FileItem("game/data.bin", data);
    item.corruptData = corrupt;
    std::string zip = BuildZip({DirItem("game/"), FileItem("game/game.exe", gameExe), item});
    ASSERT_TRUE(gameserver::Publish(PackagePath(105), zip));
  }
};

TEST_F(PkgDownloadAcrossRuns, KilledMidDownloadTheNextRunAsksForTheRest) {
  PublishPackage(105, 3 * 1024 * 1024);
  ASSERT_TRUE(gameserver::AddFault(PackagePath(105), "rate=400000"));
  PublishConfig();
  {
    std::wstring dir = support::ScratchDir(L"workflow");
    std::wstring exe = dir + L"\\vorn-pc-tok.exe";
    ASSERT_TRUE(CopyFileW(LauncherExe().c_str(), exe.c_str(), FALSE));
    LauncherRun run;
    ASSERT_TRUE(run.StartExisting(exe)) << run.StartFailure();
    for (int i = 0; i < 600 && SizeOf(Archive()) < 600000; ++i) Sleep(50);
    ASSERT_GE(SizeOf(Archive()), 600000) << "the download did not get going";
  }  // the launcher is killed here, as by a closed laptop lid
  int64_t partial = SizeOf(Archive());
  ASSERT_GT(partial, 0);
  ASSERT_TRUE(base::PathExists(ResumeRecordPath(Archive())));

  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  // (The server logs a request once answered: the killed one may be missing.)
  std::vector<gameserver::RequestLine> requests = gameserver::Requests(PackagePath(105));
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().range, "bytes=" + std::to_string(partial) + "-");
  EXPECT_EQ(requests.back().status, 206);
  EXPECT_TRUE(support::ReadFileBytes(Data()) == packageData) << "the resumed package differs";
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_FALSE(base::PathExists(Archive()));
  EXPECT_FALSE(base::PathExists(ResumeRecordPath(Archive())));
}

TEST_F(PkgDownloadAcrossRuns, LockedFileKeepsTheUpdateOpenUntilTheNextRunUnpacksTheKeptArchive) {
  PublishPackage(105, 200000);
  PublishConfig();
  ASSERT_TRUE(base::WriteWholeFile(Data(), "old data"));
  {
    // Another program holds the file open without sharing.
    base::UniqueFile holder(CreateFileW(Data().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.Valid());
    RunResult run = Run(L"vorn-pc-tok.exe");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
    EXPECT_NE(run.log.find("entries failed, pkg.ver left unchanged and the archive kept"), std::string::npos)
        << run.log;
    EXPECT_NE(run.log.find("enter LoadState"), std::string::npos) << "the launch goes on";
  }
  EXPECT_EQ(support::ReadFileBytes(Data()), "old data");
  EXPECT_FALSE(base::PathExists(Data() + L".unpacking"));
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "104");
  EXPECT_TRUE(base::PathExists(Archive()));

  // The next run finds the archive whole (416) and unpacks it without downloading.
  RunResult again = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(again.ended);
  EXPECT_TRUE(again.boxes.empty()) << base::Utf8(again.boxes.front());
  std::vector<gameserver::RequestLine> requests = gameserver::Requests(PackagePath(105));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].status, 416);
  EXPECT_TRUE(support::ReadFileBytes(Data()) == packageData);
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_FALSE(base::PathExists(Archive()));
  EXPECT_FALSE(base::PathExists(ResumeRecordPath(Archive())));
}

TEST_F(PkgDownloadAcrossRuns, CorruptEntryLeavesNoBadBytesAndIsRepairedByTheNextRun) {
  std::string good = gameserver::TestBytes(150000, 21);
  PublishPackageWith(good, true);
  PublishConfig();
  ASSERT_TRUE(base::WriteWholeFile(Data(), "old data"));
  RunResult run = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(run.ended);
  EXPECT_TRUE(run.boxes.empty()) << base::Utf8(run.boxes.front());
  EXPECT_NE(run.log.find("entry game/data.bin failed: the data cannot be decoded"), std::string::npos) << run.log;
  EXPECT_EQ(support::ReadFileBytes(Data()), "old data") << "no corrupt bytes in place of the old file";
  EXPECT_FALSE(base::PathExists(Data() + L".unpacking"));
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "104");
  EXPECT_TRUE(base::PathExists(Archive())) << "the archive is kept";

  // The archive's own data were bad: the next run fetches it afresh.
  PublishPackageWith(good, false);
  RunResult again = Run(L"vorn-pc-tok.exe");
  ASSERT_TRUE(again.ended);
  EXPECT_TRUE(again.boxes.empty()) << base::Utf8(again.boxes.front());
  std::vector<gameserver::RequestLine> requests = gameserver::Requests(PackagePath(105));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].range, "-");
  EXPECT_TRUE(support::ReadFileBytes(Data()) == good);
  EXPECT_EQ(support::ReadFileBytes(InstallDir() + L"pkg.ver"), "105");
  EXPECT_FALSE(base::PathExists(Archive()));
}

}  // namespace
}  // namespace e2e
