#include "install/kill_process.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "base/log.h"
#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "base/text.h"

namespace {

constexpr DWORD kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x410
// How long to wait for a terminated process to be gone before its files are replaced.
constexpr DWORD kExitWaitMs = 3000;

std::wstring ImagePath(DWORD pid) {
  base::UniqueHandle process(OpenProcess(kQueryAccess, FALSE, pid));
  if (!process) return std::wstring();
  wchar_t path[1024] = {};
  DWORD length = GetModuleFileNameExW(process.Get(), nullptr, path, 1024);
  return std::wstring(path, length);
}

}  // namespace

bool KillProcessByPath(const std::string& path) {
  // Compared as wide text: the UTF-8 path and the system's wide image path
  // then match for any characters, not only those of the ANSI code page.
  std::wstring wanted = base::ToWide(path, base::kCodePageUtf8);
  std::wstring fileName = base::FileNamePart(wanted);

  base::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  if (!snapshot || !Process32FirstW(snapshot.Get(), &entry)) {
    Log("KillProcessByPath: err:%d", static_cast<int>(GetLastError()));
    return false;
  }
  do {
    if (!base::SamePathText(entry.szExeFile, fileName)) continue;
    std::wstring image = ImagePath(entry.th32ProcessID);
    if (image.empty() || !base::SamePathText(image, wanted)) continue;

    base::UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) return false;
    bool ended = TerminateProcess(process.Get(), 0) != FALSE;
    Log("KillProcessByPath: %s ended: %d", path.c_str(), ended ? 1 : 0);
    // Termination is asynchronous; the caller goes on to replace the
    // program's files, which stay locked until the process is really gone.
    if (ended) WaitForSingleObject(process.Get(), kExitWaitMs);
    process.Reset();
    Sleep(100);
    return ended;
  } while (Process32NextW(snapshot.Get(), &entry));
  return false;
}
