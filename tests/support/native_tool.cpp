#include "support/native_tool.h"

#include "base/handles.h"
#include "base/text.h"
#include "support/wine_path.h"

namespace support {

namespace {

std::wstring Quoted(const std::string& arg) {
  std::wstring wide = base::ToWide(arg);
  if (!wide.empty() && wide.find_first_of(L" \t\"") == std::wstring::npos) return wide;
  std::wstring out = L"\"";
  for (wchar_t c : wide) {
    if (c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

}  // namespace

int RunNativeTool(const std::string& unixExe, const std::vector<std::string>& args, std::string* output,
                  DWORD timeoutMs) {
  output->clear();
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  base::UniqueHandle reader(readEnd), writer(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  std::wstring exe = WinePath(unixExe);
  std::wstring line = Quoted(unixExe);
  for (const std::string& arg : args) line += L" " + Quoted(arg);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    *output = "cannot start " + unixExe + ", error " + std::to_string(GetLastError());
    return -1;
  }
  base::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  writer.Reset();  // the child holds the only writer now: the pipe ends with it
  DWORD start = GetTickCount();
  for (;;) {
    DWORD available = 0;
    if (PeekNamedPipe(reader.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char buffer[4096];
      DWORD got = 0;
      if (ReadFile(reader.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) output->append(buffer, got);
      continue;
    }
    if (WaitForSingleObject(process.Get(), 20) == WAIT_OBJECT_0) {
      // Whatever it wrote last.
      char buffer[4096];
      DWORD got = 0;
      while (PeekNamedPipe(reader.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
             ReadFile(reader.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        output->append(buffer, got);
      break;
    }
    if (GetTickCount() - start > timeoutMs) {
      TerminateProcess(process.Get(), 1);
      *output += "\n(" + unixExe + " did not end in time)";
      return -1;
    }
  }
  DWORD code = 1;
  GetExitCodeProcess(process.Get(), &code);
  return static_cast<int>(code);
}

}  // namespace support
