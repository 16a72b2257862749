#include "workflow/launcher_context.h"

#include "net/download_task.h"
#include "ui/loading_page.h"
#include "workflow/state.h"

LauncherContext::LauncherContext() = default;

// A state's destructor stops its requests, which write into the task.
LauncherContext::~LauncherContext() {
  state.reset();
  prefetches.Clear();
  download.reset();
  page.reset();
}
