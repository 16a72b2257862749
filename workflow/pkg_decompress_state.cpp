#include "workflow/pkg_decompress_state.h"

#include "base/log.h"
#include "base/background_job.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/relative_name.h"
#include "base/text.h"
#include "install/kill_process.h"
#include "net/qos_reporter.h"
#include "net/file_resume.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "install/installed_files.h"
#include "install/keep_local.h"
#include "install/pkg_version_file.h"
#include "unpack/package_unpacker.h"
#include "unpack/unpack_path.h"
#include "workflow/installed_files_disk.h"
#include "workflow/ledger_rules.h"

namespace {

// After the package has been read: a complete unpacking replaces the list by
// the new package's files and deletes the files only the old list had; a
// partial one only records what it put in place, so that the list never
// claims a file that is not there with that content.
void UpdateInstalledFiles(const DecompressJob& job, const UnpackOutcome& outcome) {
  if (job.ledgerPath.empty()) return;
  InstalledFiles old;
  std::string error;
  bool hadList = ReadInstalledFilesFile(job.ledgerPath, &old, &error);
  if (!hadList) {
    old = InstalledFiles();
    if (base::PathExists(job.ledgerPath))
      Log("PkgDecompressState: pkg.files cannot be read, no file is deleted: %s", error.c_str());
  }
  std::vector<InstalledFile> placed;
  std::vector<std::string> names, written;
  for (const UnpackedFile& file : outcome.files) {
    written.push_back(file.name);
    // The list takes only names it can read back; a file under another
    // spelling is on disk all the same, but no list claims it.
    std::string problem = base::RelativeNameProblem(file.name);
    if (!problem.empty()) {
      Log("PkgDecompressState: %s is not listed in pkg.files: %s", file.name.c_str(), problem.c_str());
      continue;
    }
    InstalledFile line;
    line.name = file.name;
    line.size = file.size;
    line.sha256 = file.sha256;
    placed.push_back(std::move(line));
    names.push_back(file.name);
  }
  InstalledFiles next;
  if (outcome.failed > 0) {
    next = LedgerAfterPartialUpdate(old, placed);
  } else {
    next.files = placed;
    std::vector<std::string> gone = LedgerFilesGone(old, names, job.keepLocal);
    if (!gone.empty() && written.empty()) {
      // A package without a single file is a publishing mistake, not a request to empty the folder.
      Log("PkgDecompressState: the package has no files, none of the %d listed is deleted",
          static_cast<int>(old.files.size()));
      next = old;
    } else {
      // A file that could not be deleted stays listed, so that a later run deletes it.
      for (const std::string& name : DeleteFilesGone(job.targetDir, gone, written))
        if (const InstalledFile* line = old.Find(name)) next.files.push_back(*line);
    }
  }
  if (!WriteInstalledFilesFile(job.ledgerPath, next, &error)) {
    // An old list would now be wrong: without one, the next update takes the whole package.
    Log("PkgDecompressState: pkg.files cannot be written, the old one is removed: %s", error.c_str());
    DeleteFileW(ForFileApi(job.ledgerPath).c_str());
  }
}

}  // namespace

void RunDecompressJob(DecompressJob& job) {
  if (job.stepHook) job.stepHook();
  UnpackCallbacks callbacks;
  callbacks.opened = [&job](int32_t count) {
    job.archiveIsZip.exchange(true);
    if (count > 0) job.total.exchange(count);
  };
  // Workers finish entries in any order: the bar only ever moves forward,
  // and stays below the total until the archive is closed.
  callbacks.entryDone = [&job](int32_t finished) {
    int32_t shown = finished - 1;
    int32_t seen = job.progress.load();
    while (seen < shown && !job.progress.compare_exchange_weak(seen, shown)) {
    }
    if (job.stepHook) job.stepHook();
  };
  if (!job.keepLocal.empty())
    callbacks.keepIfPresent = [&job](const std::string& name) { return IsKeptLocal(name, job.keepLocal); };
  UnpackOutcome outcome =
      UnpackHeldPackage(job.archive->Get(), job.archivePath, job.targetDir, job.workers, callbacks);
  if (outcome.archiveIsZip)
    Log("DecompressWorker: %d of %d entries unpacked", static_cast<int>(outcome.count - outcome.failed - outcome.skipped),
        static_cast<int>(outcome.count));
  if (outcome.archiveIsZip) UpdateInstalledFiles(job, outcome);
  // Published before the progress that ends the job.
  job.failedEntries.exchange(outcome.failed);
  job.archiveFault.exchange(outcome.archiveFault);
  // The archive is closed now. Only from here on may the state see
  // progress >= total and delete the file; a zero count is therefore
  // published only now.
  if (outcome.count == 0) job.total.exchange(0);
  job.progress.exchange(outcome.count);
}

PkgDecompressState::PkgDecompressState(LauncherContext* context, HeldArchive archive)
    : State(context), job(std::make_shared<DecompressJob>()) {
  job->archive = std::move(archive);
}

Transition PkgDecompressState::Update() {
  if (!started) {
    Start();
    return Transition::Stay();
  }
  int32_t progress = job->progress.load();
  int32_t total = job->total.load();
  if (progress < total) {
    if (context->page) context->page->SetProgress(progress, total);
    return Transition::Stay();
  }
  Finish();
  return Transition::Done();
}

void PkgDecompressState::Start() {
  started = true;
  if (context->page) context->page->SetStatusText(L"正在解压客户端资源，请稍后...");
  Log("enter DecompressState");
  InstallConfig& config = *context->config;
  job->archivePath = config.GetPkgDownloadPath();
  if (!job->archive || !*job->archive) job->archive = HoldArchive(job->archivePath);
  job->targetDir = config.installDir;
  job->ledgerPath = config.GetPkgFilesPath();
  job->keepLocal = config.pkgKeepLocal;
  job->progress = 0;
  job->total = 1;
  reportQos(*context->qos, qos::kDecompressPkgStart);
  // A running game client from this folder would keep its files locked.
  KillProcessByPath(base::Utf8(config.GetPkgExePath()));

  if (!base::StartBackgroundJob(job, RunDecompressJob)) {
    Log("PkgDecompressState: the worker cannot start: %s", base::ErrorText(GetLastError()).c_str());
    // Nothing was unpacked: finish on the next tick as for an unreadable archive.
    job->total = 0;
  }
}

void PkgDecompressState::Finish() {
  InstallConfig& config = *context->config;
  std::wstring archive = config.GetPkgDownloadPath();
  // The worker has let go of it; so do we, before the archive is deleted.
  job->archive.reset();
  int32_t failed = job->failedEntries.load();
  if (job->archiveIsZip && failed > 0) {
    // The installation is not current: keep the archive (and "pkg.ver"), so
    // that the next run unpacks it again without downloading it. Bad data
    // in the archive itself make that run fetch it afresh instead.
    Log("PkgDecompressState: %d entries failed, pkg.ver left unchanged and the archive kept",
        static_cast<int>(failed));
    if (job->archiveFault) ForgetDownloadProgress(archive);
    reportQos(*context->qos, qos::kDecompressPkgOk);
    return;
  }
  if (!DeleteFileW(ForFileApi(archive).c_str())) {
    DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
      Log("PkgDecompressState: the archive %s cannot be deleted, left in place: %s", base::Utf8(archive).c_str(),
          base::ErrorText(code).c_str());
  }
  ForgetDownloadProgress(archive);
  // Only a package that was actually read counts as installed; after an error
  // page or a cut-off download the next run fetches the package again.
  if (job->archiveIsZip) {
    if (!WritePkgVersionFile(config, config.serverVersion))
      Log("PkgDecompressState: pkg.ver cannot be written: %s", base::ErrorText(GetLastError()).c_str());
  } else {
    Log("PkgDecompressState: the package was not unpacked, pkg.ver left unchanged");
  }
  reportQos(*context->qos, qos::kDecompressPkgOk);
}
