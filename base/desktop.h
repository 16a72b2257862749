#pragma once

namespace base {

// Call on a thread before its first call that needs the display (a window,
// a device context, GDI+). Under wine the first such call starts the desktop
// process when none runs yet, and threads that get there at the same time
// each start one and wait for their own, all of them competing for the same
// cores. Here the first caller starts it and the others wait for that one
// and then find it.
void AwaitDesktop();

}  // namespace base
