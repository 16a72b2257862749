#pragma once
// Whether a name taken from outside (configuration, settings file) can stand
// as one plain component of a Windows path. Free of windows.h.
#include <string>

namespace base {

// True for a non-empty name that Windows reads as exactly one file or folder
// name in the folder it is appended to: no "\" "/" ":" or other character
// that file names cannot hold, no control character, not "." or "..", no
// trailing dot or blank, and no device name (CON, NUL, COM1, ... with or
// without an extension).
bool IsPlainFileName(const std::wstring& name);

}  // namespace base
