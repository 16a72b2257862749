#include "app/state_waker.h"

#include "app/main_window.h"

StateWaker::StateWaker() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

void StateWaker::SetWindow(HWND window) { window_.store(window); }

void StateWaker::Wake() {
  if (event_) SetEvent(event_.Get());
  if (HWND window = window_.load()) PostMessageW(window, kWakeMessage, 0, 0);
}

bool StateWaker::Wait(DWORD timeoutMs) {
  if (!event_) {
    Sleep(timeoutMs);
    return false;
  }
  return WaitForSingleObject(event_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

StateWaker& TheStateWaker() {
  static StateWaker* waker = new StateWaker;
  return *waker;
}
