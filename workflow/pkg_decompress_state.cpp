#include "workflow/pkg_decompress_state.h"

#include "workflow/load_state.h"

// Placeholder until unpacking lands: hands over to the launch.
PkgDecompressState::PkgDecompressState(LauncherContext* context)
    : State(context), job(new DecompressJob) {}
PkgDecompressState::~PkgDecompressState() { delete job; }
void PkgDecompressState::Update() {
  if (started) return;
  started = true;
  NextState();
}
void PkgDecompressState::NextState() { TransitionTo<LoadState>(context); }
