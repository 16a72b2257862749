#pragma once
// The launcher's borderless layered window and the timer that drives the states.
#include <windows.h>

constexpr UINT_PTR kTimerId = 110012;
constexpr UINT kTimerPeriodMs = 20;

void RegisterMainWindowClass(HINSTANCE instance);
// Creates the window, the page and the first state, and starts the timer.
bool CreateMainWindow(HINSTANCE instance, int showMode);
void CALLBACK OnTimerTick(HWND window, UINT message, UINT_PTR id, DWORD time);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The class name and title buffers that start-up fills from the string table.
wchar_t* WindowClassName();
wchar_t* WindowTitle();
