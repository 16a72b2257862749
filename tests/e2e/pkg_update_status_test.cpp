// The update by entries in the test process: what its page shows. The bar
// and the figures count the bytes of the plan, not of the package, and a
// repair shows the hashing of the installed files before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "base/fs.h"
#include "base/sha256.h"
#include "base/text.h"
#include "install/installed_files.h"
#include "state_driver.h"
#include "support/files.h"
#include "support/game_server.h"
#include "support/log_reader.h"
#include "support/zip_writer.h"
#include "unpack/package_manifest.h"
#include "workflow/pkg_update_state.h"
#include "workflow/transfer_status.h"

namespace {

constexpr DWORD kStepTimeoutMs = 60000;
constexpr wchar_t kFetchText[] = L"正在准备客户端资源，请稍后...";

Sha256Digest DigestOf(const std::string& bytes) {
  Sha256Digest digest{};
  std::string error;
  EXPECT_TRUE(Sha256OfBytes(bytes, &digest, &error)) << error;
  return digest;
}

// A package of three stored files published with its manifest on the game
// server, and an install folder whose ledger lists them as installed.
struct UpdateStep : e2e::StateDriver {
  explicit UpdateStep(const std::wstring& name, const std::string& path) : StateDriver(name) {
    files = {{"big.bin", gameserver::TestBytes(400 * 1024, 41)},
             {"one.bin", gameserver::TestBytes(100 * 1024, 42)},
             {"two.bin", gameserver::TestBytes(100 * 1024, 43)}};
    std::vector<support::ZipItem> items;
    for (const auto& file : files) {
      support::ZipItem item = support::FileItem(file.first, file.second);
      item.deflate = false;
      items.push_back(item);
    }
    std::vector<support::ZipPlace> places;
    std::string zip = support::BuildZip(items, false, &places);
    for (size_t i = 0; i < files.size(); ++i) {
      ManifestEntry entry;
      entry.name = files[i].first;
      entry.crc32 = places[i].crc;
      entry.compressedSize = places[i].storedSize;
      entry.size = files[i].second.size();
      entry.dataOffset = places[i].dataOffset;
      entry.sha256 = DigestOf(files[i].second);
      manifest.entries.push_back(entry);
    }
    std::string text = FormatManifest(manifest);
    EXPECT_TRUE(gameserver::Publish(path + "-106.zip", zip));
    EXPECT_TRUE(gameserver::Publish(path + "-106.zip.manifest", text));
    packagePath = path + "-106.zip";
    config.pkgUrl = gameserver::ServerUrl(path + "-%d.zip");
    config.serverVersion = "106";
    config.pkgManifestSha256 = Sha256Text(DigestOf(text));
    support::OpenTestLog(scratch);
  }

  // Writes the files as installed, with their ledger; file `older`, when
  // given, as the version before held it.
  void Install(size_t older = SIZE_MAX) {
    InstalledFiles ledger;
    for (size_t i = 0; i < files.size(); ++i) {
      std::string bytes = i == older ? std::string(90 * 1024, 'o') : files[i].second;
      ASSERT_TRUE(base::WriteWholeFile(config.installDir + base::ToWide(files[i].first), bytes));
      ledger.files.push_back(InstalledFile{files[i].first, bytes.size(), DigestOf(bytes)});
    }
    std::string error;
    ASSERT_TRUE(WriteInstalledFilesFile(config.GetPkgFilesPath(), ledger, &error)) << error;
  }

  // The planned bytes of the run's "update by entries" line; -1 without one.
  long long PlannedBytes() const {
    std::string rest = support::LoggedAfter(support::ReadTestLog(), "update by entries: ");
    unsigned long long entries = 0, planned = 0, package = 0;
    if (sscanf(rest.c_str(), "%llu entries, %llu of %llu bytes", &entries, &planned, &package) != 3) return -1;
    EXPECT_EQ(package, manifest.DataEnd());
    return static_cast<long long>(planned);
  }

  std::vector<std::pair<std::string, std::string>> files;
  PackageManifest manifest;
  std::string packagePath;
};

TEST(PkgUpdateStatus, BarAndFiguresCountTheBytesOfThePlan) {
  ASSERT_TRUE(gameserver::ResetFaults());
  UpdateStep step(L"update-status", "/update-status-e2e/game");
  // One small file changed since the installed version: the update fetches it alone.
  step.Install(1);
  std::wstring changed = step.config.installDir + L"one.bin";
  ASSERT_TRUE(gameserver::AddFault(step.packagePath, "rate=100000"));
  ASSERT_TRUE(step.RunUntilReplaced(new PkgUpdateState(&step.context, true), kStepTimeoutMs));
  EXPECT_EQ(step.context.state->Id(), StateId::kLoad);
  EXPECT_TRUE(support::ReadFileBytes(changed) == step.files[1].second);

  long long planned = step.PlannedBytes();
  ASSERT_GT(planned, 0);
  EXPECT_LT(planned, static_cast<long long>(step.manifest.DataEnd()) / 2);
  ASSERT_FALSE(step.page.progress.empty());
  for (const auto& shown : step.page.progress) {
    EXPECT_EQ(shown.second, planned) << "the bar counts the plan's bytes";
    EXPECT_LE(shown.first, planned);
  }
  bool figures = false;
  std::wstring total = L"/" + CompactSizeText(planned) + L" ";
  for (const std::wstring& text : step.page.statusTexts)
    if (text.compare(0, wcslen(kFetchText), kFetchText) == 0 && text.find(total) != std::wstring::npos) figures = true;
  EXPECT_TRUE(figures) << "no status line with the plan's total " << base::Utf8(total);
}

TEST(PkgUpdateStatus, RepairShowsTheHashingOfTheInstalledFilesFirst) {
  ASSERT_TRUE(gameserver::ResetFaults());
  UpdateStep step(L"repair-status", "/repair-status-e2e/game");
  step.Install();
  // Same size, other bytes: only the hashing of a repair finds it.
  std::wstring damaged = step.config.installDir + L"two.bin";
  std::string bytes = step.files[2].second;
  bytes[5000] ^= 0x40;
  ASSERT_TRUE(base::WriteWholeFile(damaged, bytes));
  step.context.repairRequested = true;
  ASSERT_TRUE(step.RunUntilReplaced(new PkgUpdateState(&step.context, false), kStepTimeoutMs));
  EXPECT_EQ(step.context.state->Id(), StateId::kLoad);
  EXPECT_TRUE(support::ReadFileBytes(damaged) == step.files[2].second);

  // First the bar over every installed byte hashed, then over the plan's.
  long long installed = 0;
  for (const auto& file : step.files) installed += static_cast<long long>(file.second.size());
  long long planned = step.PlannedBytes();
  ASSERT_GT(planned, 0);
  ASSERT_FALSE(step.page.progress.empty());
  auto hashing = std::find_if(step.page.progress.begin(), step.page.progress.end(),
                              [&](const std::pair<int64_t, int64_t>& p) { return p.second == installed; });
  ASSERT_NE(hashing, step.page.progress.end()) << "the hashing did not show on the bar";
  EXPECT_EQ(step.page.progress.back().second, planned);
  EXPECT_TRUE(std::all_of(hashing, step.page.progress.end(), [&](const std::pair<int64_t, int64_t>& p) {
    return p.second == installed || p.second == planned;
  }));
}

}  // namespace
