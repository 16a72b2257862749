#include "workflow/pkg_decompress_state.h"

#include "base/log.h"
#include "base/background_job.h"
#include "base/error_text.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "install/kill_process.h"
#include "net/qos_reporter.h"
#include "net/file_resume.h"
#include "ui/loading_page.h"
#include "install/install_config.h"
#include "install/pkg_version_file.h"
#include "unpack/package_unpacker.h"
#include "unpack/unpack_path.h"

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
  UnpackOutcome outcome =
      UnpackHeldPackage(job.archive->Get(), job.archivePath, job.targetDir, job.workers, callbacks);
  if (outcome.archiveIsZip)
    Log("DecompressWorker: %d of %d entries unpacked", static_cast<int>(outcome.count - outcome.failed - outcome.skipped),
        static_cast<int>(outcome.count));
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
