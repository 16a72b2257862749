#pragma once
// Base of every workflow state.
#include "workflow/launcher_context.h"
#include "workflow/transition.h"

// The states of a run, as the run plan names them.
enum class StateId {
  kOther,  // a state the plan does not know; it hands over with Transition::To
  kDownloadInstallCfg,
  kDownloadLauncherLogo,
  kDownloadWeiduan,
  kDownloadWeiduanCfg,
  kGetUserInfo,
  kDownloadPkgVer,
  kPkgUpdate,
  kPkgDownload,
  kPkgChecksum,
  kPkgDecompress,
  kLoad,
  kError,
  kComplete,
};

class State {
 public:
  explicit State(LauncherContext* context) : context(context) {}
  virtual ~State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // Called on every timer tick while this state is current; says what comes
  // next. The state stays alive until the caller has acted on the answer.
  virtual Transition Update() = 0;

  virtual StateId Id() const { return StateId::kOther; }

  // True for a state that may be updated before the window and the page
  // exist, on a thread other than the window's: it never needs the page
  // (or shows on it only what it shows again once the page comes), puts up
  // no window of its own and ends no message loop.
  virtual bool RunsBeforeWindow() const { return false; }

  // Destroys the context's current state, if any, and makes this one current;
  // the context takes this state over (it must come from new and be owned by nobody).
  void MakeCurrent();

 protected:
  LauncherContext* context;
};
