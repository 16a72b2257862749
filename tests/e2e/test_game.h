#pragma once
// The stand-in game client (tools/test_game): copies of it play the game
// client and the micro-client shell, and tell how they were started.
#include <windows.h>

#include <string>
#include <vector>

#include "support/launcher_harness.h"

namespace e2e {

std::wstring TestGameExe();
// Copies the stand-in to `path`, creating its folder.
bool PlaceTestGame(const std::wstring& path);

// One start as the copy recorded it.
struct GameStart {
  int showMode = -1;  // the show mode it was given, -1 for none
  std::wstring params;
};
// Starts recorded next to the copy at `exePath`, oldest first.
std::vector<GameStart> RecordedStarts(const std::wstring& exePath);
// The digits right after `marker` in a start's parameters (the command key
// after " cmdKey:"); empty when the marker is absent.
std::wstring DigitsAfter(const std::wstring& params, const std::wstring& marker);
// Waits until `count` starts are recorded; false on time-out.
bool WaitForStarts(const std::wstring& exePath, size_t count, DWORD timeoutMs);

// Starts the copy with "--stay" so that it keeps running (a minute at most,
// or until `run` ends it when it goes).
bool StartStayingGame(support::LauncherRun& run, const std::wstring& exePath);

}  // namespace e2e
