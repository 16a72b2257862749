#pragma once
// The launcher's borderless layered window and the timer that drives the states.
#include <windows.h>

#include <functional>

struct LauncherContext;

constexpr UINT_PTR kTimerId = 110012;
constexpr UINT kTimerPeriodMs = 20;
// States begun in one tick at most, when each hands over at once.
constexpr int kStatesPerTick = 8;

void RegisterMainWindowClass(HINSTANCE instance);
// Installs the first state and begins it, so that the configuration is on
// its way while the window and the page are made. Its status text reaches
// the page once there is one.
void BeginWorkflow(LauncherContext& context);
// Creates the window and the page (and the first state, unless BeginWorkflow
// did), and starts the timer. `beforeTakingStates` runs once the window and
// the page stand, before the context is touched: the states may run on
// another thread until then (see EarlyStates). The window drives `context`
// from then on; the context must outlive the window's message loop.
bool CreateMainWindow(LauncherContext& context, HINSTANCE instance, int showMode,
                      const std::function<void()>& beforeTakingStates = {});
// Sent by work on other threads when it has finished, so that the states
// look at once instead of at the next tick.
constexpr UINT kWakeMessage = WM_APP + 12;

void CALLBACK OnTimerTick(HWND window, UINT message, UINT_PTR id, DWORD time);
// Updates the current state, and each state it hands over to, up to a bound.
void RunStates(LauncherContext& context);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The class name and title buffers that start-up fills from the string table.
wchar_t* WindowClassName();
wchar_t* WindowTitle();
