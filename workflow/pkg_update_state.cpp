#include "workflow/pkg_update_state.h"

#include <algorithm>
#include <utility>

#include "base/background_job.h"
#include "base/error_text.h"
#include "base/log.h"
#include "base/sha256.h"
#include "base/text.h"
#include "install/install_config.h"
#include "install/kill_process.h"
#include "install/pkg_version_file.h"
#include "net/qos_reporter.h"
#include "ui/loading_page.h"
#include "unpack/unpack_path.h"
#include "workflow/package_url.h"
#include "workflow/installed_files_disk.h"
#include "workflow/ledger_rules.h"
#include "workflow/update_fetch.h"
#include "workflow/version_number.h"

namespace {

// A manifest holds about a hundred bytes per entry: room for a million entries.
constexpr size_t kManifestLimit = 128 * 1024 * 1024;
// The figures change at most this often, so that they can be read.
constexpr uint64_t kFiguresEveryMs = 500;

}  // namespace

// ---- The disk side, off the timer thread ----

struct UpdateScan {
  enum class Mode { kLedgerSizes, kManifest };
  Mode mode = Mode::kLedgerSizes;
  std::wstring installDir;
  InstalledFiles ledger;
  std::shared_ptr<const PackageManifest> manifest;
  std::vector<std::string> keepLocal;
  bool repair = false;

  std::atomic<int64_t> done{0};
  std::atomic<int64_t> total{1};
  std::atomic<bool> hashing{false};  // digests are being taken: the bar shows them
  std::atomic<bool> stop{false};
  // Set last; everything below is complete before it.
  std::atomic<bool> finished{false};
  size_t wrongSizes = 0;         // kLedgerSizes: ledger files missing or of another size
  std::vector<DiskFile> disk;    // kManifest: one per manifest entry
};

namespace {

// A manifest name as the plan sees it on disk.
DiskFile LookAt(const std::wstring& installDir, const std::string& name) {
  ListedFileOnDisk found = LookAtInstalledFile(installDir, name);
  DiskFile file;
  file.exists = found.kind == ListedFileOnDisk::kFile;
  file.size = found.size;
  return file;
}

void RunUpdateScan(UpdateScan& scan) {
  if (scan.mode == UpdateScan::Mode::kLedgerSizes) {
    // Sizes only: the start of an up-to-date game must stay fast.
    scan.wrongSizes = FindLedgerMismatches(scan.ledger, scan.keepLocal, [&scan](const std::string& name) {
                        return LookAtInstalledFile(scan.installDir, name);
                      }).size();
    scan.finished.exchange(true);
    return;
  }
  const PackageManifest& manifest = *scan.manifest;
  scan.disk.reserve(manifest.entries.size());
  for (const ManifestEntry& entry : manifest.entries) scan.disk.push_back(LookAt(scan.installDir, entry.name));
  std::vector<size_t> toHash =
      EntriesToHash(manifest, &scan.ledger, scan.disk, scan.keepLocal, scan.repair);
  int64_t total = 0;
  for (size_t index : toHash) total += static_cast<int64_t>(scan.disk[index].size);
  scan.total.exchange(total > 0 ? total : 1);
  scan.hashing.exchange(!toHash.empty());
  int64_t before = 0;
  for (size_t index : toHash) {
    if (scan.stop.load()) break;
    std::wstring path;
    if (!ResolveEntryPath(scan.installDir, base::ToWide(manifest.entries[index].name), &path)) continue;
    DiskFile& file = scan.disk[index];
    std::string error;
    file.hashed = Sha256OfFile(ForFileApi(path), &file.sha256, &error, [&scan, before](int64_t done, int64_t) {
      scan.done.exchange(before + done);
      return !scan.stop.load();
    });
    // A file that cannot be read is fetched again rather than trusted.
    if (!file.hashed) Log("update: %s cannot be hashed: %s", manifest.entries[index].name.c_str(), error.c_str());
    before += static_cast<int64_t>(file.size);
    scan.done.exchange(before);
  }
  scan.finished.exchange(true);
}

}  // namespace

// ---- The state ----

PkgUpdateState::PkgUpdateState(LauncherContext* context, bool update)
    : State(context), update(update) {}

PkgUpdateState::~PkgUpdateState() {
  if (scan) scan->stop.exchange(true);
  fetch.reset();  // stops the request and waits for its thread
  StopAll(jobs);
}

Transition PkgUpdateState::Update() {
  switch (phase) {
    case Phase::kStart:
      return Start();
    case Phase::kSizeCheck:
      if (!scan->finished.load()) return Transition::Stay();
      return SizeChecked();
    case Phase::kManifest:
      if (!context->download->finished.load()) {
        if (context->page) context->page->Redraw();
        return Transition::Stay();
      }
      return ManifestArrived();
    case Phase::kScan:
      // The bar follows the hashing and ends full before the fetch begins.
      if (scan->hashing.load()) ShowProgress(scan->done.load(), scan->total.load(), false);
      if (!scan->finished.load()) return Transition::Stay();
      return Scanned();
    case Phase::kFetch:
      if (!fetch->Finished()) {
        ShowProgress(static_cast<int64_t>(fetch->Received()), static_cast<int64_t>(fetch->Planned()), true);
        return Transition::Stay();
      }
      return Fetched();
  }
  return Transition::Stay();
}

Transition PkgUpdateState::Start() {
  InstallConfig& config = *context->config;
  repair = context->repairRequested;
  Log("enter PkgUpdateState (%s%s)", update ? "update" : "current version", repair ? ", repair requested" : "");
  std::string error;
  if (!ReadInstalledFilesFile(config.GetPkgFilesPath(), &ledger, &error)) {
    if (!update) {
      if (repair) Log("repair not possible: no ledger of the installed files (%s)", error.c_str());
      return Transition::Done(Exit::kUpToDate);
    }
    return WholePackage(error.empty() ? "no ledger of the installed files"
                                      : "no ledger of the installed files: " + error);
  }
  int32_t version = ReadVersionNumber(config.serverVersion);
  std::string urlError;
  if (!FormatPackageUrl(config.pkgUrl, version, packageUrl, urlError) ||
      !FormatManifestUrl(config.pkgManifestUrl, config.pkgUrl, version, manifestUrl, urlError)) {
    if (!update) return Transition::Done(Exit::kUpToDate);
    return WholePackage(urlError);
  }
  phase = Phase::kSizeCheck;
  // An update and a repair look at every file anyway: straight to the manifest.
  if (update || repair) return SizeChecked();
  scan = std::make_shared<UpdateScan>();
  scan->installDir = config.installDir;
  scan->keepLocal = config.pkgKeepLocal;
  scan->ledger = ledger;
  if (!base::StartBackgroundJob(scan, RunUpdateScan)) {
    Log("PkgUpdateState: the checking thread cannot start: %s", base::ErrorText(GetLastError()).c_str());
    return Transition::Done(Exit::kUpToDate);
  }
  return Transition::Stay();
}

Transition PkgUpdateState::SizeChecked() {
  if (scan) {
    if (scan->wrongSizes == 0) return Transition::Done(Exit::kUpToDate);
    Log("repair: %llu installed files missing or of another size", static_cast<unsigned long long>(scan->wrongSizes));
  }
  ShowStatus(L"正在检查客户端资源，请稍后...");
  phase = Phase::kManifest;
  if (!context->download) context->download = std::make_unique<DownloadTask>();
  DownloadTask& task = *context->download;
  task.Reset();
  task.retryInMemory = true;
  task.bodyLimit = kManifestLimit;
  StartDownload(jobs, "download client manifest", manifestUrl, &task, context->wake);
  return Transition::Stay();
}

Transition PkgUpdateState::ManifestArrived() {
  DownloadTask& task = *context->download;
  if (!task.error.empty()) return WholePackage("manifest not downloaded: " + task.error);
  std::string text = task.body ? std::string(task.body.get(), task.bodySize) : std::string();
  Sha256Digest digest{};
  std::string error;
  if (!Sha256OfBytes(text, &digest, &error)) return WholePackage("manifest not hashed: " + error);
  const InstallConfig& config = *context->config;
  Sha256Digest expected{};
  if (!ParseSha256Text(config.pkgManifestSha256, &expected) || digest != expected)
    return WholePackage("manifest checksum mismatch, expected " + config.pkgManifestSha256 + ", got " +
                        Sha256Text(digest) + ", url: " + manifestUrl);
  auto parsed = std::make_shared<PackageManifest>();
  if (!ParseManifest(text, parsed.get(), &error)) return WholePackage("manifest refused: " + error);
  manifest = parsed;
  scan = std::make_shared<UpdateScan>();
  scan->mode = UpdateScan::Mode::kManifest;
  scan->installDir = config.installDir;
  scan->ledger = ledger;
  scan->manifest = manifest;
  scan->keepLocal = config.pkgKeepLocal;
  scan->repair = repair;
  phase = Phase::kScan;
  if (!base::StartBackgroundJob(scan, RunUpdateScan))
    return WholePackage("the checking thread cannot start: " + base::ErrorText(GetLastError()));
  return Transition::Stay();
}

Transition PkgUpdateState::Scanned() {
  const InstallConfig& config = *context->config;
  UpdatePlanInput input;
  input.manifest = manifest.get();
  input.ledger = &ledger;
  input.disk = std::move(scan->disk);
  input.keepLocal = config.pkgKeepLocal;
  input.repair = repair;
  plan = PlanUpdate(input);
  if (plan.road == UpdateRoad::kWholePackage) return WholePackage(plan.reason);
  Log("update by entries: %llu entries, %llu of %llu bytes", static_cast<unsigned long long>(plan.fetch.size()),
      static_cast<unsigned long long>(plan.plannedBytes), static_cast<unsigned long long>(plan.packageBytes));
  reportQos(*context->qos, qos::kDownloadPkgStart);
  if (plan.fetch.empty()) return Finish();
  // A running game client from this folder would keep its files locked.
  KillProcessByPath(base::Utf8(config.GetPkgExePath()));
  ShowStatus(L"正在准备客户端资源，请稍后...");
  return StartFetch(plan.fetch);
}

Transition PkgUpdateState::StartFetch(const std::vector<size_t>& entries) {
  const InstallConfig& config = *context->config;
  std::vector<FetchRange> ranges;
  if (entries == plan.fetch) {
    ranges = plan.ranges;
  } else {
    // A second try asks for each entry alone: the neighbours are in place.
    for (size_t index : entries) {
      const ManifestEntry& entry = manifest->entries[index];
      if (entry.compressedSize == 0) continue;
      ranges.push_back(FetchRange{entry.dataOffset, entry.compressedSize, {index}});
    }
  }
  // A second try asks for the file the first one read.
  std::string validator = fetch ? fetch->Validator() : std::string();
  fetch.reset();
  fetch = std::make_unique<RangeFetch>(packageUrl, manifest, entries, ranges, config.installDir,
                                       config.GetPkgDownloadPath(), validator);
  meter.Restart();
  phase = Phase::kFetch;
  fetch->Start();
  return Transition::Stay();
}

Transition PkgUpdateState::Fetched() {
  RangeFetch& done = *fetch;
  if (done.WholeBody()) {
    // The server sent the whole package: it is the download, checked and
    // unpacked as one.
    Log("update by the whole package: the server answered a range with the whole package, url: %s",
        packageUrl.c_str());
    if (context->config->pkgSha256.empty()) reportQos(*context->qos, qos::kDownloadPkgOk);
    return Transition::Done(Exit::kWholeBody);
  }
  std::string error = done.Complete();
  if (!error.empty()) return FailWith(error);
  std::vector<size_t> mismatched = done.Mismatched();
  if (!mismatched.empty()) {
    const std::string& name = manifest->entries[mismatched.front()].name;
    if (refetched) return FailWith("entry " + name + " checksum mismatch, url: " + packageUrl);
    Log("update: %llu entries did not match the manifest (first %s), asked for once more",
        static_cast<unsigned long long>(mismatched.size()), name.c_str());
    refetched = true;
    return StartFetch(mismatched);
  }
  return Finish();
}

Transition PkgUpdateState::Finish() {
  InstallConfig& config = *context->config;
  reportQos(*context->qos, qos::kDownloadPkgOk);
  reportQos(*context->qos, qos::kDecompressPkgStart);
  if (context->page) context->page->SetStatusText(L"正在解压客户端资源，请稍后...");
  // Every new file is in place: the files the new package no longer has go.
  std::vector<std::string> names;
  names.reserve(manifest->entries.size());
  for (const ManifestEntry& entry : manifest->entries) names.push_back(entry.name);
  for (const std::string& name : DeleteFilesGone(config.installDir, plan.remove, names))
    Log("update: %s is still there (held by another program?)", name.c_str());
  InstalledFiles written;
  written.files.reserve(manifest->entries.size());
  for (const ManifestEntry& entry : manifest->entries)
    written.files.push_back(InstalledFile{entry.name, entry.size, entry.sha256});
  std::string error;
  if (!WriteInstalledFilesFile(config.GetPkgFilesPath(), written, &error)) {
    // Without the new ledger the next run plans against the old one: it
    // hashes what differs and finds the new files in place.
    Log("PkgUpdateState: pkg.files cannot be written: %s", error.c_str());
  } else if (update && !WritePkgVersionFile(config, config.serverVersion)) {
    Log("PkgUpdateState: pkg.ver cannot be written: %s", base::ErrorText(GetLastError()).c_str());
  }
  Log("update: %llu entries written, %llu files removed", static_cast<unsigned long long>(plan.fetch.size()),
      static_cast<unsigned long long>(plan.remove.size()));
  reportQos(*context->qos, qos::kDecompressPkgOk);
  return Transition::Done();
}

Transition PkgUpdateState::WholePackage(const std::string& reason) {
  Log("update by the whole package: %s", reason.c_str());
  return Transition::Done(Exit::kWholePackage);
}

Transition PkgUpdateState::FailWith(const std::string& error) {
  reportQos(*context->qos, qos::kDownloadPkgFailed);
  return Transition::Fail(Log("下载游戏包失败！[error:%s]", error.c_str()));
}

void PkgUpdateState::ShowStatus(const std::wstring& text) {
  statusText = text;
  shownAtMs = 0;
  if (context->page) context->page->SetStatusText(text);
}

void PkgUpdateState::ShowProgress(int64_t done, int64_t total, bool figures) {
  if (!context->page) return;
  context->page->SetProgress(done, total > 0 ? total : 1);
  if (!figures) return;
  uint64_t now = GetTickCount64();
  meter.Add(now, done);
  if (shownAtMs != 0 && now - shownAtMs < kFiguresEveryMs) return;
  shownAtMs = now;
  context->page->SetStatusText(statusText + TransferFiguresText(done, total, meter.BytesPerSecond()));
}
