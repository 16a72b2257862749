// Unpacking a downloaded package as the launcher's decompression step does
// it: the real state, worker, zip layer and file system, on archives built by
// the tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/fs.h"
#include "base/handles.h"
#include "base/sha256.h"
#include "base/text.h"
#include "state_driver.h"
#include "support/game_server.h"
#include "support/files.h"
#include "support/log_reader.h"
#include "support/remove_tree.h"
#include "support/scratch_folder.h"
#include "support/zip_writer.h"
#include "test_game.h"
#include "workflow/load_state.h"
#include "workflow/pkg_checksum_state.h"
#include "workflow/pkg_decompress_state.h"

using support::BuildZip;
using support::DirItem;
using support::FileItem;
using support::ZipItem;

namespace {

constexpr DWORD kRunTimeoutMs = 30000;

struct Unpack : e2e::StateDriver {
  explicit Unpack(const std::wstring& name) : StateDriver(name) {
    config.serverVersion = "105";
    e2e::OpenTestLog(scratch);
  }
  std::wstring Archive() const { return config.GetPkgDownloadPath(); }
  std::wstring Inst(const std::wstring& rel) const { return config.installDir + rel; }
  void PutArchive(const std::vector<ZipItem>& items) { ASSERT_TRUE(support::WriteFileBytes(Archive(), BuildZip(items))); }
  void PutArchive64(const std::vector<ZipItem>& items) {
    ASSERT_TRUE(support::WriteFileBytes(Archive(), BuildZip(items, true)));
  }
  // Runs the step to its end; true when it handed over to the launch.
  bool Run() {
    if (!RunUntilReplaced(new PkgDecompressState(&context), kRunTimeoutMs)) return false;
    return dynamic_cast<LoadState*>(context.state.get()) != nullptr;
  }
};

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

uint64_t AsU64(const FILETIME& ft) { return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

// What a DOS stamp means on this machine, worked out the other way round:
// the UTC time whose local wall-clock reading is the stamp.
uint64_t UtcOfLocalStamp(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME local{};
  local.wYear = year;
  local.wMonth = month;
  local.wDay = day;
  local.wHour = hour;
  local.wMinute = minute;
  local.wSecond = second;
  SYSTEMTIME utc{};
  TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
  FILETIME ft{};
  SystemTimeToFileTime(&utc, &ft);
  return AsU64(ft);
}

}  // namespace

TEST(PkgDecompress, DirectoriesNestedFilesAndProgressByEntry) {
  Unpack u(L"unzip-basic");
  u.PutArchive({DirItem("vorn/"), FileItem("vorn/bin/x.dll", std::string(100000, 'x')),
                FileItem("vorn/vorn.exe", "game program")});
  e2e::Stepper stepper;
  auto* state = new PkgDecompressState(&u.context);
  state->Job()->stepHook = stepper.Hook();
  state->MakeCurrent();

  u.Tick();  // starts the worker, which waits before opening the archive
  ASSERT_TRUE(stepper.WaitArrived(kRunTimeoutMs));
  u.Tick();
  stepper.Release();
  for (int entry = 0; entry < 3; ++entry) {
    ASSERT_TRUE(stepper.WaitArrived(kRunTimeoutMs)) << entry;
    if (entry == 0) {
      // The archive is open for reading only: nobody may delete or change it meanwhile.
      EXPECT_FALSE(DeleteFileW(u.Archive().c_str()));
      HANDLE writer = CreateFileW(u.Archive().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
      EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
      if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    }
    u.Tick();
    stepper.Release();
  }
  // Look again only once the worker is through, so every step is seen once.
  std::shared_ptr<DecompressJob> job = state->Job();
  DWORD start = GetTickCount();
  while (job->progress < 3 && GetTickCount() - start < kRunTimeoutMs) Sleep(5);
  u.Tick();
  ASSERT_NE(dynamic_cast<LoadState*>(u.context.state.get()), nullptr);

  std::vector<std::pair<int64_t, int64_t>> expected{{0, 1}, {0, 3}, {1, 3}, {2, 3}};
  EXPECT_EQ(u.page.progress, expected);
  ASSERT_EQ(u.page.statusTexts.size(), 1u);
  EXPECT_EQ(u.page.statusTexts[0], L"正在解压客户端资源，请稍后...");
  EXPECT_TRUE(base::DirectoryExists(u.Inst(L"vorn\\bin")));
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"vorn\\bin\\x.dll")), std::string(100000, 'x'));
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"vorn\\vorn.exe")), "game program");
  EXPECT_FALSE(base::PathExists(u.Archive()));
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("enter DecompressState"), std::string::npos);
  EXPECT_NE(log.find("3 of 3 entries unpacked"), std::string::npos) << log;
}

TEST(PkgDecompress, VersionIsWrittenAsReceivedWithCrLf) {
  Unpack u(L"unzip-version");
  ASSERT_TRUE(support::WriteFileBytes(u.config.GetPkgVerPath(), "104 and some older text"));
  u.config.serverVersion = "7\nsecond line\n";
  u.PutArchive({FileItem("a.txt", "a")});
  ASSERT_TRUE(u.Run());
  // Line feeds become CR LF, nothing is added, and the old file is replaced whole.
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "7\r\nsecond line\r\n");
}

TEST(PkgDecompress, NamesAttributesAndTimesOfEntries) {
  Unpack u(L"unzip-fields");
  ZipItem dosPath = FileItem("C:\\data\\..\\readme.txt", "read me");
  dosPath.versionMadeBy = 0x0014;  // DOS host, archive bit
  dosPath.externalAttributes = 0x20;
  ZipItem readOnly = FileItem("ro.txt", "locked");
  readOnly.externalAttributes = 0x81240000;
  ZipItem writable = FileItem("rw.txt", "open");
  writable.externalAttributes = 0x81A40000;
  ZipItem hidden = FileItem("hidden.txt", "h");
  hidden.versionMadeBy = 0x0B14;  // host 11 reads DOS bits too
  hidden.externalAttributes = 0x02;
  ZipItem stamped = FileItem("stamped.txt", "t");
  stamped.dosDate = (39 << 9) | (11 << 5) | 23;        // 2019-11-23
  stamped.dosTime = (14 << 11) | (37 << 5) | 29;        // 14:37:58
  stamped.localExtra = support::ExtraBlock(0x000A, std::string(32, '\0')) + support::UtBlock(1, {1577836800});
  stamped.centralExtra = support::UtBlock(1, {1000});  // the central copy is not the one read
  ZipItem allTimes = FileItem("alltimes.txt", "a");
  allTimes.localExtra = support::UtBlock(3, {1500000000, 1600000000});
  ZipItem unicode = FileItem("\xE8\xB5\x84\xE6\xBA\x90/\xE5\x9C\xB0\xE5\x9B\xBE.dat", "map");  // 资源/地图.dat
  unicode.flags = 0;  // no UTF-8 flag: decoded as UTF-8 all the same
  u.PutArchive({dosPath, readOnly, writable, hidden, stamped, allTimes, unicode});
  ASSERT_TRUE(u.Run());

  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"readme.txt")), "read me");
  EXPECT_EQ(Attributes(u.Inst(L"readme.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_NE(Attributes(u.Inst(L"ro.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"ro.txt")), "locked");
  EXPECT_EQ(Attributes(u.Inst(L"rw.txt")) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_NE(Attributes(u.Inst(L"hidden.txt")) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"资源\\地图.dat")), "map");

  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(u.Inst(L"stamped.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(AsU64(data.ftLastWriteTime), 132223104000000000ull);  // 2020-01-01 00:00:00 UTC from "UT"
  EXPECT_EQ(AsU64(data.ftLastAccessTime), UtcOfLocalStamp(2019, 11, 23, 14, 37, 58));  // DOS stamp
  ASSERT_TRUE(GetFileAttributesExW(u.Inst(L"alltimes.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(AsU64(data.ftLastWriteTime), 116444736000000000ull + 1500000000ull * 10000000ull);
  EXPECT_EQ(AsU64(data.ftLastAccessTime), 116444736000000000ull + 1600000000ull * 10000000ull);
  ASSERT_TRUE(GetFileAttributesExW(u.Inst(L"rw.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(AsU64(data.ftLastWriteTime), UtcOfLocalStamp(2020, 6, 15, 12, 30, 0));
}

TEST(PkgDecompress, Zip64ArchiveUnpacks) {
  Unpack u(L"unzip-zip64");
  ZipItem stamped = FileItem("vorn/stamped.txt", "t");
  stamped.localExtra = support::UtBlock(1, {1577836800});  // walked to behind the zip64 block
  ZipItem big = FileItem("vorn/big.bin", std::string(300000, 'z'));
  u.PutArchive64({DirItem("vorn/"), big, stamped});
  ASSERT_TRUE(u.Run());
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"vorn\\big.bin")), std::string(300000, 'z'));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(u.Inst(L"vorn\\stamped.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(AsU64(data.ftLastWriteTime), 132223104000000000ull);
  EXPECT_NE(support::ReadTestLog().find("3 of 3 entries unpacked"), std::string::npos) << support::ReadTestLog();
}

TEST(PkgDecompress, AnUpdateReplacesAReadOnlyFileOfTheFirstPackage) {
  Unpack u(L"unzip-readonly");
  ZipItem ro = FileItem("vorn/config.ini", "first");
  ro.externalAttributes = 0x81240000;
  u.PutArchive({ro, FileItem("vorn/data.bin", "first data")});
  u.config.serverVersion = "104";
  ASSERT_TRUE(u.Run());
  ASSERT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "104");
  ASSERT_TRUE(Attributes(u.Inst(L"vorn\\config.ini")) & FILE_ATTRIBUTE_READONLY);

  // Each row: the second package's entry, and the attributes it leaves.
  struct Row {
    const char* what;
    uint32_t external;
    bool readOnlyAfter;
  } rows[] = {
      {"a writable entry", 0x81A40000, false},
      {"a read-only entry again", 0x81240000, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Unpack second(L"unzip-readonly-2");
    second.config.installDir = u.config.installDir;
    ZipItem update = FileItem("vorn/config.ini", std::string("second, ") + row.what);
    update.externalAttributes = row.external;
    second.PutArchive({update, FileItem("vorn/data.bin", "second data")});
    ASSERT_TRUE(second.Run());
    EXPECT_EQ(support::ReadFileBytes(u.Inst(L"vorn\\config.ini")), std::string("second, ") + row.what);
    EXPECT_EQ((Attributes(u.Inst(L"vorn\\config.ini")) & FILE_ATTRIBUTE_READONLY) != 0, row.readOnlyAfter);
    EXPECT_EQ(support::ReadFileBytes(u.Inst(L"vorn\\data.bin")), "second data");
    EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
    EXPECT_NE(support::ReadTestLog().find("2 of 2 entries unpacked"), std::string::npos) << support::ReadTestLog();
  }
}

TEST(PkgDecompress, AReadOnlyFileThatCannotBeReplacedKeepsTheVersion) {
  Unpack u(L"unzip-readonly-held");
  ZipItem ro = FileItem("vorn/config.ini", "first");
  ro.externalAttributes = 0x81240000;
  u.PutArchive({ro});
  u.config.serverVersion = "104";
  ASSERT_TRUE(u.Run());
  std::wstring file = u.Inst(L"vorn\\config.ini");
  // Held by a program that lets nobody delete or rename it.
  base::UniqueFile held(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  Unpack second(L"unzip-readonly-held-2");
  second.config.installDir = u.config.installDir;
  second.PutArchive({FileItem("vorn/config.ini", "second")});
  ASSERT_TRUE(second.Run());
  held.Reset();
  EXPECT_EQ(support::ReadFileBytes(file), "first");
  EXPECT_TRUE(Attributes(file) & FILE_ATTRIBUTE_READONLY) << "left as it was";
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "104") << "the next run tries again";
  EXPECT_TRUE(base::PathExists(second.Archive()));
  EXPECT_NE(support::ReadTestLog().find("entry vorn/config.ini failed: "), std::string::npos) << support::ReadTestLog();
}

// The same name twice in one package, in a folder the step creates: the
// second copy replaces the first, also when the first was made read-only.
TEST(PkgDecompress, RepeatedNamesInAFreshFolderFollowTheReplaceRules) {
  Unpack u(L"unzip-repeated");
  ZipItem ro = FileItem("fresh/locked.ini", "first");
  ro.externalAttributes = 0x81240000;
  u.PutArchive({FileItem("fresh/a.txt", "one"), FileItem("fresh/a.txt", "two"), ro,
                FileItem("fresh/locked.ini", "second"), FileItem("FRESH/Sub/b.txt", "b")});
  ASSERT_TRUE(u.Run());
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"fresh\\a.txt")), "two");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"fresh\\locked.ini")), "second");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"fresh\\sub\\b.txt")), "b");
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("5 of 5 entries unpacked"), std::string::npos) << log;
  EXPECT_EQ(e2e::ReadFileBytes(u.config.GetPkgVerPath()), "105");
}

namespace {

// A download cut off in the middle: the central directory at the end is missing.
std::string TruncatedZip() {
  ZipItem big = FileItem("a.txt", std::string(5000, 'a'));
  big.deflate = false;
  return BuildZip({big}).substr(0, 3000);
}

}  // namespace

TEST(PkgDecompress, DownloadThatIsNoZipLeavesTheVersionAlone) {
  for (const std::string& body : {std::string("<html><body>502 Bad Gateway</body></html>"), std::string(),
                                  TruncatedZip()}) {
    Unpack u(L"unzip-nozip");
    ASSERT_TRUE(support::WriteFileBytes(u.config.GetPkgVerPath(), "104\r\n"));
    ASSERT_TRUE(support::WriteFileBytes(u.Archive(), body));
    ASSERT_TRUE(u.Run());
    EXPECT_FALSE(base::PathExists(u.Archive()));
    EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "104\r\n");
    EXPECT_FALSE(base::PathExists(u.Inst(L"a.txt")));
    std::string log = support::ReadTestLog();
    EXPECT_NE(log.find("is no zip archive or is damaged"), std::string::npos) << log;
    EXPECT_NE(log.find("pkg.ver left unchanged"), std::string::npos) << log;
  }
}

TEST(PkgDecompress, MissingArchiveGoesOnToTheLaunch) {
  Unpack u(L"unzip-missing");
  ASSERT_TRUE(u.Run());
  EXPECT_FALSE(base::PathExists(u.config.GetPkgVerPath()));
  EXPECT_NE(support::ReadTestLog().find("cannot be opened"), std::string::npos);
}

TEST(PkgDecompress, EntriesLeadingOutsideAreRefusedOthersUnpack) {
  Unpack u(L"unzip-slip");
  u.PutArchive({FileItem("../outside1.txt", "evil"), FileItem("a/../../outside2.txt", "evil"),
                FileItem("..\\outside3.txt", "evil"), FileItem("ok/../../../outside4.txt", "evil"),
                FileItem("... /outside5.txt", "evil"), FileItem("good.txt", "fine"),
                FileItem("C:/Windows/../winfile.txt", "cleaned, stays inside")});
  ASSERT_TRUE(u.Run());
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"good.txt")), "fine");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"winfile.txt")), "cleaned, stays inside");
  // The cleaning rules strip every climb that follows a separator, so this one stays inside.
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"outside4.txt")), "evil");
  for (const wchar_t* name : {L"outside1.txt", L"outside2.txt", L"outside3.txt", L"outside5.txt"}) {
    EXPECT_FALSE(base::PathExists(u.scratch + L"\\" + name)) << base::Utf8(name);
    EXPECT_FALSE(base::PathExists(u.scratch + L"\\..\\" + name)) << base::Utf8(name);
  }
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("entry ../outside1.txt refused: it leads outside the install folder"), std::string::npos) << log;
  EXPECT_NE(log.find("entry ../outside2.txt refused"), std::string::npos) << log;
  EXPECT_NE(log.find("3 of 7 entries unpacked"), std::string::npos) << log;
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
}

TEST(PkgDecompress, BadEntriesFailAloneAndKeepWhatTheyWouldReplace) {
  Unpack u(L"unzip-bad");
  ASSERT_TRUE(support::WriteFileBytes(u.Inst(L"secret.dat"), "old secret"));
  ZipItem encrypted = FileItem("secret.dat", "new secret");
  encrypted.flags |= 1;
  ZipItem damaged = FileItem("damaged.bin", std::string(20000, 'd'));
  damaged.corruptData = true;
  ZipItem damagedStored = FileItem("damaged.txt", "stored data whose CRC does not match");
  damagedStored.deflate = false;
  damagedStored.corruptData = true;
  ZipItem lzma = FileItem("lzma.bin", "not really lzma");
  lzma.method = 14;
  u.PutArchive({encrypted, damaged, damagedStored, lzma, FileItem("fine.txt", "fine")});
  ASSERT_TRUE(u.Run());
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"secret.dat")), "old secret");
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"fine.txt")), "fine");
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("entry secret.dat failed: the data are encrypted"), std::string::npos) << log;
  EXPECT_NE(log.find("entry damaged.bin failed: the data cannot be decoded"), std::string::npos) << log;
  EXPECT_NE(log.find("entry damaged.txt failed: the data cannot be decoded: CRC mismatch"), std::string::npos) << log;
  EXPECT_NE(log.find("entry lzma.bin failed: compression method 14 is not supported"), std::string::npos) << log;
  EXPECT_FALSE(base::PathExists(u.Inst(L"lzma.bin")));
  // Entries that fail half-way leave no bytes behind, neither under their
  // own name nor under the name they were written to first.
  EXPECT_FALSE(base::PathExists(u.Inst(L"damaged.bin")));
  EXPECT_FALSE(base::PathExists(u.Inst(L"damaged.txt")));
  EXPECT_FALSE(base::PathExists(u.Inst(L"secret.dat.unpacking")));
  EXPECT_NE(log.find("1 of 5 entries unpacked"), std::string::npos) << log;
  // Not installed: no version, and the archive stays for the next run; its
  // resume record goes, since its own data are bad and must be fetched again.
  EXPECT_FALSE(base::PathExists(u.config.GetPkgVerPath()));
  EXPECT_TRUE(base::PathExists(u.Archive()));
  EXPECT_NE(log.find("4 entries failed, pkg.ver left unchanged and the archive kept"), std::string::npos) << log;
}

TEST(PkgDecompress, CorruptEntryOverAnOldFileKeepsTheOldBytes) {
  Unpack u(L"unzip-corrupt-update");
  ASSERT_EQ(base::CreateDirectoryTree(u.Inst(L"vorn")), 0u);
  ASSERT_TRUE(e2e::WriteFileBytes(u.Inst(L"vorn\\big.bin"), "old big"));
  ASSERT_TRUE(e2e::WriteFileBytes(u.config.GetPkgVerPath(), "104"));
  ZipItem damaged = FileItem("vorn/big.bin", std::string(300000, 'n'));
  damaged.corruptData = true;
  u.PutArchive({damaged, FileItem("vorn/ok.txt", "ok")});
  ASSERT_TRUE(u.Run());
  EXPECT_EQ(e2e::ReadFileBytes(u.Inst(L"vorn\\big.bin")), "old big");
  EXPECT_FALSE(base::PathExists(u.Inst(L"vorn\\big.bin.unpacking")));
  EXPECT_EQ(e2e::ReadFileBytes(u.Inst(L"vorn\\ok.txt")), "ok");
  EXPECT_EQ(e2e::ReadFileBytes(u.config.GetPkgVerPath()), "104");
  EXPECT_TRUE(base::PathExists(u.Archive()));

  // Once the archive is whole, the same folder is brought up to date.
  u.PutArchive({FileItem("vorn/big.bin", std::string(300000, 'n')), FileItem("vorn/ok.txt", "ok")});
  ASSERT_TRUE(u.Run());
  EXPECT_EQ(e2e::ReadFileBytes(u.Inst(L"vorn\\big.bin")), std::string(300000, 'n'));
  EXPECT_EQ(e2e::ReadFileBytes(u.config.GetPkgVerPath()), "105");
  EXPECT_FALSE(base::PathExists(u.Archive()));
}

TEST(PkgDecompress, PathsBeyondMaxPathAreWrittenWhole) {
  Unpack u(L"unzip-long");
  std::string dir1(90, 'a'), dir2(90, 'b'), file(90, 'c');
  std::string name = "vorn/" + dir1 + "/" + dir2 + "/" + file + ".txt";
  u.PutArchive({DirItem("vorn/" + dir1 + "/"), FileItem(name, "deep")});
  ASSERT_TRUE(u.Run());
  std::wstring full = u.Inst(L"vorn\\" + std::wstring(dir1.begin(), dir1.end()) + L"\\" +
                             std::wstring(dir2.begin(), dir2.end()) + L"\\" + std::wstring(file.begin(), file.end()) +
                             L".txt");
  ASSERT_GT(full.size(), 259u);
  EXPECT_EQ(support::ReadFileBytes(L"\\\\?\\" + full), "deep") << support::ReadTestLog();
  EXPECT_NE(support::ReadTestLog().find("2 of 2 entries unpacked"), std::string::npos);
  support::RemoveTree(u.scratch);
}

TEST(PkgDecompress, ArchiveThatCannotBeDeletedIsLeft) {
  Unpack u(L"unzip-keep");
  u.PutArchive({FileItem("a.txt", "a")});
  // Another reader that does not allow deletion.
  HANDLE holder = CreateFileW(u.Archive().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  bool ran = u.Run();
  CloseHandle(holder);
  ASSERT_TRUE(ran);
  EXPECT_TRUE(base::PathExists(u.Archive()));
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"a.txt")), "a");
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
  EXPECT_NE(support::ReadTestLog().find("cannot be deleted, left in place"), std::string::npos) << support::ReadTestLog();
}

TEST(PkgDecompress, RunningGameFromTheInstallFolderIsEndedFirst) {
  Unpack u(L"unzip-running");
  std::wstring game = u.config.GetPkgExePath();
  std::wstring elsewhere = u.scratch + L"\\elsewhere\\vorn\\vorn.exe";
  ASSERT_TRUE(e2e::PlaceTestGame(game));
  ASSERT_TRUE(e2e::PlaceTestGame(elsewhere));
  support::LauncherRun running, other;
  ASSERT_TRUE(e2e::StartStayingGame(running, game) && e2e::StartStayingGame(other, elsewhere));
  ASSERT_TRUE(e2e::WaitForStarts(game, 1, 20000));
  ASSERT_TRUE(e2e::WaitForStarts(elsewhere, 1, 20000));

  u.PutArchive({FileItem("vorn/vorn.exe", "the new game client")});
  bool ran = u.Run();
  bool gameEnded = running.WaitExit(5000);
  bool otherRuns = !other.WaitExit(0);

  ASSERT_TRUE(ran);
  EXPECT_TRUE(gameEnded);
  EXPECT_TRUE(otherRuns);
  EXPECT_EQ(support::ReadFileBytes(game), "the new game client") << support::ReadTestLog();
}

TEST(PkgDecompress, TheJobOutlivesAStateThatGoesFirst) {
  Unpack u(L"unzip-lifetime");
  u.PutArchive({FileItem("a.txt", "a"), FileItem("b.txt", "b")});
  e2e::Stepper stepper;
  auto* state = new PkgDecompressState(&u.context);
  std::weak_ptr<DecompressJob> job = state->Job();
  state->Job()->stepHook = stepper.Hook();
  state->MakeCurrent();
  u.Tick();
  ASSERT_TRUE(stepper.WaitArrived(kRunTimeoutMs));

  // The state goes while the worker is held at its first step.
  u.context.state.reset();
  EXPECT_FALSE(job.expired());
  std::shared_ptr<DecompressJob> probe = job.lock();
  ASSERT_TRUE(probe);
  stepper.Abandon();  // let the worker run on without further stops
  DWORD start = GetTickCount();
  while (probe->progress < 2 && GetTickCount() - start < kRunTimeoutMs) Sleep(5);
  EXPECT_EQ(probe->progress, 2);
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"b.txt")), "b");
  probe.reset();
  // Once the worker has returned, the last reference is gone.
  start = GetTickCount();
  while (!job.expired() && GetTickCount() - start < kRunTimeoutMs) Sleep(5);
  EXPECT_TRUE(job.expired());
}

TEST(PkgDecompress, ReportsStartAndOk) {
  ASSERT_NE(gameserver::ServerPort(), 0) << "run through CTest, which starts the game server";
  Unpack u(L"unzip-qos");
  u.PutArchive({FileItem("a.txt", "a")});
  e2e::ReportQosTo(u.qos, "/qos/zip-unpack");
  ASSERT_TRUE(u.Run());
  std::vector<int> events = e2e::QosEventsAt("/qos/zip-unpack", 2, 10000);
  std::sort(events.begin(), events.end());
  EXPECT_EQ(events, (std::vector<int>{20, 21}));
}

namespace {

// A package large enough to be spread over workers: folders of small files,
// two large ones handed out first, and names that repeat far apart.
std::vector<ZipItem> SpreadPackage(std::vector<std::pair<std::wstring, std::string>>* expected) {
  std::vector<ZipItem> items;
  auto add = [&](const std::string& name, const std::string& data) {
    items.push_back(FileItem(name, data));
    std::wstring path = base::ToWide(name, base::kCodePageUtf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    expected->emplace_back(path, data);
  };
  ZipItem ro = FileItem("pack/locked.ini", "first and read-only");
  ro.externalAttributes = 0x81240000;
  items.push_back(ro);
  items.push_back(FileItem("pack/again.txt", "one"));
  for (int folder = 0; folder < 8; ++folder) {
    items.push_back(DirItem("pack/d" + std::to_string(folder) + "/"));
    for (int file = 0; file < 25; ++file)
      add("pack/d" + std::to_string(folder) + "/f" + std::to_string(file) + ".txt",
          std::string(static_cast<size_t>(100 + 37 * file), static_cast<char>('a' + folder)));
    if (folder == 3) add("pack/big1.bin", std::string(5u << 20, 'L'));
  }
  add("pack/big2.bin", std::string(6u << 20, 'M'));
  items.push_back(FileItem("pack/locked.ini", "second"));
  items.push_back(FileItem("PACK/Again.txt", "two"));
  expected->emplace_back(L"pack\\locked.ini", "second");
  expected->emplace_back(L"pack\\again.txt", "two");
  return items;
}

// Runs the step with `workers` threads, ticking as the launcher does, and
// returns the bar's positions as the page saw them.
bool RunSpread(Unpack& u, unsigned workers) {
  auto* state = new PkgDecompressState(&u.context);
  state->Job()->workers = workers;
  return u.RunUntilReplaced(state, kRunTimeoutMs) && dynamic_cast<LoadState*>(u.context.state.get()) != nullptr;
}

}  // namespace

TEST(PkgDecompress, SeveralWorkersWriteEveryEntryAndTheBarOnlyMovesForward) {
  Unpack u(L"unzip-workers");
  std::vector<std::pair<std::wstring, std::string>> expected;
  std::vector<ZipItem> items = SpreadPackage(&expected);
  u.PutArchive(items);
  ASSERT_TRUE(RunSpread(u, 3));
  for (const auto& file : expected) EXPECT_EQ(support::ReadFileBytes(u.Inst(file.first)), file.second) << base::Utf8(file.first);
  int64_t last = -1;
  for (const auto& step : u.page.progress) {
    EXPECT_GE(step.first, last);
    if (step.second == static_cast<int64_t>(items.size())) {
      EXPECT_LT(step.first, step.second);
    }
    last = step.first;
  }
  std::string log = support::ReadTestLog();
  std::string unpacked = std::to_string(items.size()) + " of " + std::to_string(items.size()) + " entries unpacked";
  EXPECT_NE(log.find(unpacked), std::string::npos) << log;
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
  EXPECT_FALSE(base::PathExists(u.Archive()));
}

TEST(PkgDecompress, FailuresOnAnyWorkerKeepTheInstallationFromBeingCurrent) {
  Unpack u(L"unzip-workers-bad");
  std::vector<std::pair<std::wstring, std::string>> expected;
  std::vector<ZipItem> items = SpreadPackage(&expected);
  // Damaged entries at both ends and in the middle, where different workers take them.
  for (ZipItem& item : items) {
    if (item.name == "pack/d0/f0.txt" || item.name == "pack/d4/f1.txt" || item.name == "pack/d7/f24.txt") {
      item.corruptData = true;
      item.deflate = false;
    }
  }
  u.PutArchive(items);
  ASSERT_TRUE(RunSpread(u, 2));
  std::string log = support::ReadTestLog();
  EXPECT_NE(log.find("3 entries failed, pkg.ver left unchanged and the archive kept"), std::string::npos) << log;
  EXPECT_FALSE(base::PathExists(u.config.GetPkgVerPath()));
  EXPECT_TRUE(base::PathExists(u.Archive()));
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"pack\\big2.bin")), std::string(6u << 20, 'M'));
}

// Route of attack: the package is swapped between its hashing and its
// unpacking. The checksum step holds the archive from its hash on and hands
// that very file to the unpacking; nobody can write, rename or delete it meanwhile.
TEST(PkgDecompress, TheHashedArchiveIsHeldUntilItIsUnpacked) {
  Unpack u(L"unzip-held");
  u.PutArchive({FileItem("vorn/game.exe", "the published game")});
  Sha256Digest digest;
  std::string error;
  ASSERT_TRUE(Sha256OfFile(u.Archive(), &digest, &error)) << error;
  u.config.pkgSha256 = Sha256Text(digest);
  ASSERT_TRUE(u.RunUntilReplaced(new PkgChecksumState(&u.context), kRunTimeoutMs));
  State* unpacking = u.context.state.get();
  ASSERT_NE(dynamic_cast<PkgDecompressState*>(unpacking), nullptr);

  base::UniqueFile writer(CreateFileW(u.Archive().c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
  EXPECT_FALSE(writer);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  std::wstring aside = u.Archive() + L".aside";
  EXPECT_FALSE(MoveFileW(u.Archive().c_str(), aside.c_str()));
  EXPECT_FALSE(DeleteFileW(u.Archive().c_str()));

  DWORD start = GetTickCount();
  while (u.context.state.get() == unpacking && GetTickCount() - start < kRunTimeoutMs) {
    u.Tick();
    if (u.context.state.get() == unpacking) Sleep(5);
  }
  ASSERT_NE(dynamic_cast<LoadState*>(u.context.state.get()), nullptr);
  EXPECT_EQ(support::ReadFileBytes(u.Inst(L"vorn\\game.exe")), "the published game");
  EXPECT_FALSE(base::PathExists(u.Archive())) << "let go of before it is deleted";
  EXPECT_EQ(support::ReadFileBytes(u.config.GetPkgVerPath()), "105");
}
