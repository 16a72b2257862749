#pragma once
// Where the process looks for DLLs loaded by name.
//
// The launcher runs from a downloads folder and the uninstaller from the
// temporary folder, where anyone may have left a file named like a system
// DLL. The system DLLs that Windows does not pin to its own folder are
// delay-loaded (cmake/delay_load.cmake) so that they are looked for only
// after this has run.
#include <windows.h>

namespace base {

// Limits the search for DLLs loaded by name, and for their dependencies, to
// the system folder; called first thing at start-up. On a system without
// that control (Windows 7 before its 2011 loader update) it drops the
// current folder from the search, the most it can do, and returns false.
bool LimitDllSearchToSystemFolder();

// Loads the system folder's copies of the DLLs that system libraries load
// late, by name, on a thread of theirs (the proxy detection of WinHTTP, name
// resolution): once loaded, every later load by name gets that module. Some
// loaders (wine's) look for such late loads beside the executable first,
// whatever the process's search setting. Call right after the limit above.
void LoadLateSystemDlls();

// Loads the DLL at `path` (a full path). Its own dependencies are looked for
// beside it and in the system folder, not in the executable's folder.
HMODULE LoadDllByPath(const wchar_t* path);

}  // namespace base
