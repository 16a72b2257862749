#include "test_game.h"

#include <cwctype>

#include "base/fs.h"
#include "base/strings.h"
#include "base/text.h"
#include "support/wine_path.h"

namespace e2e {

std::wstring TestGameExe() { return support::WinePath(VORN_TEST_GAME_EXE); }

bool PlaceTestGame(const std::wstring& path) {
  base::CreateDirectoryTree(base::DirectoryPart(path));
  DeleteFileW((path + L".cmdline.txt").c_str());
  return CopyFileW(TestGameExe().c_str(), path.c_str(), FALSE) != FALSE;
}

std::vector<GameStart> RecordedStarts(const std::wstring& exePath) {
  std::vector<GameStart> starts;
  std::string bytes;
  if (!base::ReadWholeFile(exePath + L".cmdline.txt", bytes)) return starts;
  std::vector<std::string> lines;
  base::Split(bytes, "\n", lines);
  for (const std::string& line : lines) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    GameStart start;
    start.showMode = std::stoi(line.substr(0, tab));
    start.params = base::ToWide(line.substr(tab + 1));
    starts.push_back(start);
  }
  return starts;
}

std::wstring DigitsAfter(const std::wstring& params, const std::wstring& marker) {
  size_t at = params.find(marker);
  if (at == std::wstring::npos) return std::wstring();
  size_t start = at + marker.size(), end = start;
  while (end < params.size() && iswdigit(params[end])) ++end;
  return params.substr(start, end - start);
}

bool WaitForStarts(const std::wstring& exePath, size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (RecordedStarts(exePath).size() >= count) return true;
    Sleep(50);
  }
  return RecordedStarts(exePath).size() >= count;
}

bool StartStayingGame(support::LauncherRun& run, const std::wstring& exePath) {
  return run.StartExisting(exePath, L"--stay");
}

}  // namespace e2e
