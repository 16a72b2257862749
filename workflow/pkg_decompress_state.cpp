#include "workflow/pkg_decompress_state.h"

#include "base/log.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "install/kill_process.h"
#include "net/qos_reporter.h"
#include "net/resume_record.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "workflow/load_state.h"
#include "unpack/unpack_path.h"
#include "unpack/zip_archive.h"
#include "unpack/zip_entry_rules.h"

namespace {

// One entry to its place under `targetDir`; every failure is logged with why.
// Names refused for safety count as written: no later run could do better.
EntryOutcome UnpackEntry(ZipArchive& archive, int32_t index, const std::wstring& targetDir) {
  ZipEntry entry;
  std::string error;
  if (!archive.ReadEntry(index, &entry, &error)) {
    Log("DecompressWorker: entry %d failed: %s", static_cast<int>(index), error.c_str());
    return EntryOutcome::kArchiveFault;
  }
  std::string name = base::Utf8(entry.name);
  if (entry.name.empty()) {
    Log("DecompressWorker: entry %d refused: no name is left after cleaning", static_cast<int>(index));
    return EntryOutcome::kKeptReadOnly;
  }
  // The cleaning rules leave names such as "../x"; those, and anything the
  // system would resolve outside the folder, are never written.
  std::wstring fullPath;
  if (zip_rules::NameLeavesFolder(entry.name) || !ResolveEntryPath(targetDir, entry.name, &fullPath)) {
    Log("DecompressWorker: entry %s refused: it leads outside the install folder", name.c_str());
    return EntryOutcome::kKeptReadOnly;
  }
  EntryOutcome outcome = archive.Extract(index, entry, fullPath, &error);
  if (outcome == EntryOutcome::kKeptReadOnly)
    Log("DecompressWorker: entry %s skipped: %s", name.c_str(), error.c_str());
  else if (outcome != EntryOutcome::kWritten)
    Log("DecompressWorker: entry %s failed: %s", name.c_str(), error.c_str());
  return outcome;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

DWORD WINAPI DecompressWorker(LPVOID param) {
  std::unique_ptr<std::shared_ptr<DecompressJob>> hold(static_cast<std::shared_ptr<DecompressJob>*>(param));
  DecompressJob& job = **hold;
  if (job.stepHook) job.stepHook();
  const std::wstring targetDir = job.targetDir;
  int32_t count = 0;
  {
    ZipArchive archive;
    std::string error;
    if (archive.Open(job.archivePath, &error)) {
      job.archiveIsZip.exchange(true);
      count = archive.EntryCount();
    } else {
      Log("DecompressWorker: the archive %s %s", base::Utf8(job.archivePath).c_str(), error.c_str());
    }
    if (count > 0) job.total.exchange(count);
    int32_t failed = 0, skipped = 0;
    bool archiveFault = false;
    for (int32_t i = 0; i < count; ++i) {
      EntryOutcome outcome = UnpackEntry(archive, i, targetDir);
      if (outcome == EntryOutcome::kKeptReadOnly) ++skipped;
      if (outcome == EntryOutcome::kArchiveFault || outcome == EntryOutcome::kLocalFault) ++failed;
      if (outcome == EntryOutcome::kArchiveFault) archiveFault = true;
      job.progress.exchange(i);
      if (job.stepHook) job.stepHook();
    }
    if (job.archiveIsZip)
      Log("DecompressWorker: %d of %d entries unpacked", static_cast<int>(count - failed - skipped),
          static_cast<int>(count));
    // Published before the progress that ends the job.
    job.failedEntries.exchange(failed);
    job.archiveFault.exchange(archiveFault);
  }
  // The archive is closed now. Only from here on may the state see
  // progress >= total and delete the file; a zero count is therefore
  // published only now.
  if (count == 0) job.total.exchange(0);
  job.progress.exchange(count);
  return 0;
}

PkgDecompressState::PkgDecompressState(LauncherContext* context)
    : State(context), job(std::make_shared<DecompressJob>()) {}

void PkgDecompressState::Update() {
  if (!started) {
    Start();
    return;
  }
  int32_t progress = job->progress.load();
  int32_t total = job->total.load();
  if (progress < total) {
    if (context->page) context->page->SetProgress(progress, total);
    return;
  }
  Finish();
}

void PkgDecompressState::Start() {
  started = true;
  if (context->page) context->page->SetStatusText(L"正在解压客户端资源，请稍后...");
  Log("enter DecompressState");
  InstallConfig& config = *context->config;
  job->archivePath = config.GetPkgDownloadPath();
  job->targetDir = config.installDir;
  job->progress = 0;
  job->total = 1;
  reportQos(20, "DecompressPkgStart");
  // A running game client from this folder would keep its files locked.
  KillProcessByPath(base::Utf8(config.GetPkgExePath()));

  auto* workerRef = new std::shared_ptr<DecompressJob>(job);
  base::UniqueHandle thread(CreateThread(nullptr, 0, DecompressWorker, workerRef, 0, nullptr));
  if (!thread) {
    delete workerRef;
    Log("PkgDecompressState: the worker cannot start: %s", base::ErrorText(GetLastError()).c_str());
    // Nothing was unpacked: finish on the next tick as for an unreadable archive.
    job->total = 0;
  }
}

void PkgDecompressState::Finish() {
  InstallConfig& config = *context->config;
  std::wstring archive = config.GetPkgDownloadPath();
  int32_t failed = job->failedEntries.load();
  if (job->archiveIsZip && failed > 0) {
    // The installation is not current: keep the archive (and "pkg.ver"), so
    // that the next run unpacks it again without downloading it. Bad data
    // in the archive itself make that run fetch it afresh instead.
    Log("PkgDecompressState: %d entries failed, pkg.ver left unchanged and the archive kept",
        static_cast<int>(failed));
    if (job->archiveFault) DeleteFileW(ResumeRecordPath(archive).c_str());
    reportQos(21, "DecompressPkgOk");
    NextState();
    return;
  }
  if (!DeleteFileW(ForFileApi(archive).c_str())) {
    DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
      Log("PkgDecompressState: the archive %s cannot be deleted, left in place: %s", base::Utf8(archive).c_str(),
          base::ErrorText(code).c_str());
  }
  DeleteFileW(ResumeRecordPath(archive).c_str());
  // Only a package that was actually read counts as installed; after an error
  // page or a cut-off download the next run fetches the package again.
  if (job->archiveIsZip) {
    if (!base::WriteWholeFile(config.GetPkgVerPath(), WithCrLf(config.serverVersion)))
      Log("PkgDecompressState: pkg.ver cannot be written: %s", base::ErrorText(GetLastError()).c_str());
  } else {
    Log("PkgDecompressState: the package was not unpacked, pkg.ver left unchanged");
  }
  reportQos(21, "DecompressPkgOk");
  NextState();
}

void PkgDecompressState::NextState() { TransitionTo<LoadState>(context); }
