#pragma once
// Runs one of the build's native (Linux) tools from a test under wine, which
// starts Unix programs as they are: arguments are Unix paths.
#include <windows.h>

#include <string>
#include <vector>

namespace support {

// Runs `unixExe` with `args` and waits up to `timeoutMs`; its standard output
// and error go to `output`. The exit code, or -1 when the program could not
// be started or did not end in time.
int RunNativeTool(const std::string& unixExe, const std::vector<std::string>& args, std::string* output,
                  DWORD timeoutMs = 60000);

}  // namespace support
