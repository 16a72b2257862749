#pragma once
#include <string>

namespace base {

// The system's message for a Win32 error code, as UTF-8 without the trailing line end.
std::string ErrorText(unsigned long code);

}  // namespace base
