#include "workflow/launcher_context.h"

LauncherContext& TheContext() {
  static LauncherContext context;
  return context;
}
