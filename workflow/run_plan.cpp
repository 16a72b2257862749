#include "workflow/run_plan.h"

#include <string>
#include <utility>

#include "base/log.h"
#include "install/install_config.h"
#include "workflow/download_install_cfg_state.h"
#include "workflow/download_launcher_logo.h"
#include "workflow/download_pkg_ver_state.h"
#include "workflow/download_weiduan_cfg_state.h"
#include "workflow/download_weiduan_state.h"
#include "workflow/get_user_info_state.h"
#include "workflow/load_state.h"
#include "workflow/pkg_checksum_state.h"
#include "workflow/pkg_decompress_state.h"
#include "workflow/pkg_download_state.h"
#include "workflow/pkg_update_state.h"
#include "workflow/terminal_states.h"

namespace {

template <class Next, class... Args>
std::unique_ptr<State> Make(LauncherContext* context, Args&&... args) {
  return std::make_unique<Next>(context, std::forward<Args>(args)...);
}

// The road, state by state. Every road ends in CompleteState; an error
// passes through ErrorState first.
//
//   normal run                         micro-client run (weiduanShortcut)
//   DownloadInstallCfgState            DownloadInstallCfgState
//   DownloadLauncherLogo               DownloadLauncherLogo
//     (no token: error)                DownloadWeiduanState
//                                      DownloadWeiduanCfgState
//                                        (no token: straight to LoadState)
//   GetUserInfoFromTokenState          GetUserInfoFromTokenState
//   DownloadPkgVerState                DownloadPkgVerState
//     (up to date: LoadState)
//   PkgUpdateState (with a manifest)   PkgUpdateState (with a manifest)
//     (by entries, or nothing to do: LoadState;
//      the whole body came: the checksum or the unpacking)
//   PkgDownloadState                   PkgDownloadState
//   PkgChecksumState (with a checksum) PkgChecksumState (with a checksum)
//   PkgDecompressState                 PkgDecompressState
//   LoadState                          LoadState
//   CompleteState                      CompleteState
std::unique_ptr<State> AfterDone(State& done, Exit exit, LauncherContext* context) {
  const InstallConfig& config = *context->config;
  switch (done.Id()) {
    case StateId::kDownloadInstallCfg:
      return Make<DownloadLauncherLogo>(context);
    case StateId::kDownloadLauncherLogo:
      if (config.weiduanShortcut) return Make<DownloadWeiduanState>(context);
      if (config.token.empty()) return Make<ErrorState>(context, Log("can't config token"));
      return Make<GetUserInfoFromTokenState>(context);
    case StateId::kDownloadWeiduan:
      return Make<DownloadWeiduanCfgState>(context);
    case StateId::kDownloadWeiduanCfg:
      if (config.token.empty()) return Make<LoadState>(context);
      return Make<GetUserInfoFromTokenState>(context);
    case StateId::kGetUserInfo:
      return Make<DownloadPkgVerState>(context);
    case StateId::kDownloadPkgVer:
      // With a published manifest the installed files are compared with it
      // first, also when the version is current (a repair).
      if (!config.pkgManifestSha256.empty()) return Make<PkgUpdateState>(context, exit != Exit::kUpToDate);
      if (exit == Exit::kUpToDate) return Make<LoadState>(context);
      return Make<PkgDownloadState>(context);
    case StateId::kPkgUpdate:
      if (exit == Exit::kWholePackage) return Make<PkgDownloadState>(context);
      if (exit == Exit::kWholeBody) {
        if (!config.pkgSha256.empty()) return Make<PkgChecksumState>(context);
        return Make<PkgDecompressState>(context);
      }
      return Make<LoadState>(context);
    case StateId::kPkgDownload:
      if (exit == Exit::kNeedsChecksum) return Make<PkgChecksumState>(context);
      return Make<PkgDecompressState>(context);
    case StateId::kPkgChecksum:
      // What was hashed is what is unpacked: the held archive goes along.
      return Make<PkgDecompressState>(context, static_cast<PkgChecksumState&>(done).Archive());
    case StateId::kPkgDecompress:
      return Make<LoadState>(context);
    case StateId::kLoad:
    case StateId::kError:
      return Make<CompleteState>(context, true);
    case StateId::kComplete:
    case StateId::kOther:
      break;
  }
  return nullptr;
}

std::unique_ptr<State> AfterFailed(const State& failed, const std::string& message, LauncherContext* context) {
  switch (failed.Id()) {
    case StateId::kGetUserInfo:
    case StateId::kDownloadPkgVer:
    case StateId::kPkgUpdate:
    case StateId::kPkgDownload:
    case StateId::kPkgChecksum:
      // On the micro-client road the shell starts without a user rather
      // than not at all.
      if (context->config->weiduanShortcut) {
        context->config->userInfo.clear();
        return Make<LoadState>(context);
      }
      break;
    default:
      break;
  }
  return Make<ErrorState>(context, message);
}

}  // namespace

std::unique_ptr<State> FirstState(LauncherContext* context) { return Make<DownloadInstallCfgState>(context); }

bool Advance(LauncherContext& context) {
  State* current = context.state.get();
  if (!current) return false;
  Transition transition = current->Update();
  std::unique_ptr<State> next;
  switch (transition.kind()) {
    case Transition::Kind::kStay:
      return false;
    case Transition::Kind::kEnd:
      break;
    case Transition::Kind::kTo:
      next = transition.TakeNext();
      break;
    case Transition::Kind::kDone:
      next = AfterDone(*current, transition.exit(), &context);
      break;
    case Transition::Kind::kFail:
      next = AfterFailed(*current, transition.message(), &context);
      break;
  }
  // The old state is gone before the next one is current, so a destructor
  // that looks at the context never sees its successor.
  context.state.reset();
  context.state = std::move(next);
  return true;
}
