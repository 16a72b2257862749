#include "support/native_tool.h"

#include <cstdlib>

#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/wine_path.h"

namespace support {

namespace {

// A word for the shell, in single quotes.
std::string ShellWord(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

}  // namespace

// Wine hands a Unix program neither a process handle that signals its end
// nor the pipes of the caller, so the program runs under /bin/sh, which
// leaves its output and then its exit code in files beside it.
int RunNativeTool(const std::string& unixExe, const std::vector<std::string>& args, std::string* output,
                  DWORD timeoutMs) {
  output->clear();
  std::string stem = unixExe + ".run-" + std::to_string(GetCurrentProcessId());
  std::wstring outFile = WinePath(stem + ".out"), codeFile = WinePath(stem + ".code");
  DeleteFileW(outFile.c_str());
  DeleteFileW(codeFile.c_str());
  std::string script = ShellWord(unixExe);
  for (const std::string& arg : args) script += " " + ShellWord(arg);
  script += " > " + ShellWord(stem + ".out") + " 2>&1; echo $? > " + ShellWord(stem + ".code.part") + " && mv " +
            ShellWord(stem + ".code.part") + " " + ShellWord(stem + ".code");
  // The Windows command line as wine splits it into the program's words.
  std::wstring line = L"sh -c \"";
  for (wchar_t c : base::ToWide(script)) {
    if (c == L'"') line += L'\\';
    line += c;
  }
  line += L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring shell = WinePath("/bin/sh");
  if (!CreateProcessW(shell.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    *output = "cannot start /bin/sh for " + unixExe + ", error " + std::to_string(GetLastError());
    return -1;
  }
  base::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  std::string code;
  for (DWORD start = GetTickCount(); !base::ReadWholeFile(codeFile, code); Sleep(50)) {
    if (GetTickCount() - start > timeoutMs) {
      base::ReadWholeFile(outFile, *output);
      *output += "\n(" + unixExe + " did not end in time)";
      return -1;
    }
  }
  base::ReadWholeFile(outFile, *output);
  DeleteFileW(outFile.c_str());
  DeleteFileW(codeFile.c_str());
  return code.empty() ? -1 : std::atoi(code.c_str());
}

}  // namespace support
