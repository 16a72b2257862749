#include "workflow/pkg_checksum_state.h"

#include "base/background_job.h"
#include "base/error_text.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/sha256.h"
#include "base/text.h"
#include "install/install_config.h"
#include "net/qos_reporter.h"
#include "net/file_resume.h"
#include "ui/loading_page.h"
#include "workflow/package_url.h"
#include "workflow/version_number.h"

void RunChecksumJob(ChecksumJob& job) {
  job.ok = Sha256OfOpenFile(job.archive->Get(), base::Utf8(job.path), &job.digest, &job.error,
                           [&job](int64_t done, int64_t total) {
    job.total.exchange(total > 0 ? total : 1);
    job.done.exchange(done);
    return !job.stop.load();
  });
  job.finished.exchange(true);
}

PkgChecksumState::PkgChecksumState(LauncherContext* context)
    : State(context), job(std::make_shared<ChecksumJob>()) {}

PkgChecksumState::~PkgChecksumState() { job->stop.exchange(true); }

Transition PkgChecksumState::Update() {
  if (!started) {
    Start();
    return Transition::Stay();
  }
  if (!job->finished.load()) {
    if (context->page) context->page->SetProgress(job->done.load(), job->total.load());
    return Transition::Stay();
  }
  return Finish();
}

void PkgChecksumState::Start() {
  started = true;
  if (context->page) context->page->SetStatusText(L"正在校验客户端资源，请稍后...");
  Log("enter PkgChecksumState");
  job->path = context->config->GetPkgDownloadPath();
  // Held from here to the end of the unpacking: what is hashed is what is unpacked.
  job->archive = HoldArchive(job->path);
  if (!*job->archive) {
    job->error = "cannot open " + base::Utf8(job->path) + ": " + base::ErrorText(GetLastError());
    job->finished.exchange(true);
    return;
  }
  // Hashing a large package takes seconds: off the timer thread, so the page keeps painting.
  if (!base::StartBackgroundJob(job, RunChecksumJob)) {
    job->error = "the hashing thread cannot start: " + base::ErrorText(GetLastError());
    job->finished.exchange(true);
  }
}

Transition PkgChecksumState::Finish() {
  const InstallConfig& config = *context->config;
  std::string url;
  std::string urlError;
  FormatPackageUrl(config.pkgUrl, ReadVersionNumber(config.serverVersion), url, urlError);
  std::string got = job->ok ? Sha256Text(job->digest) : std::string();
  if (job->ok && got == config.pkgSha256) {
    Log("package checksum verified: sha256 %s, url: %s", got.c_str(), url.c_str());
    reportQos(*context->qos, qos::kDownloadPkgOk);
    return Transition::Done();
  }
  // A package that is not the one published is never unpacked, nor kept to
  // be unpacked or resumed by a later run: the archive and its resume record
  // go together.
  std::wstring archive = config.GetPkgDownloadPath();
  job->archive.reset();  // our own hold would keep it from being deleted
  if (!DeleteFileW(archive.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
    Log("PkgChecksumState: %s cannot be deleted: %s", base::Utf8(archive).c_str(),
        base::ErrorText(GetLastError()).c_str());
  ForgetDownloadProgress(archive);
  reportQos(*context->qos, qos::kDownloadPkgFailed);
  // The same message as a failed package download.
  std::string error = job->ok ? "package checksum mismatch, expected " + config.pkgSha256 + ", got " + got + ", url: " + url
                              : "package checksum not computed: " + job->error + ", url: " + url;
  return Transition::Fail(Log("下载游戏包失败！[error:%s]", error.c_str()));
}

HeldArchive PkgChecksumState::Archive() const { return job->archive; }
