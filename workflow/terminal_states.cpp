#include "workflow/terminal_states.h"

#include <windows.h>

#include "base/text.h"
#include "net/download_task.h"
#include "ui/loading_page.h"

ErrorState::ErrorState(LauncherContext* context, const std::string& message)
    : State(context), message(message) {}

Transition ErrorState::Update() {
  // The message box's own loop keeps ticking this state meanwhile.
  if (shown) return Transition::Stay();
  shown = true;
  // Shown through the wide API so the text reads right whatever the system code page.
  MessageBoxW(context->window, base::ToWide(message, base::kCodePageUtf8).c_str(), L"提示", MB_OK);
  return Transition::Done();
}

CompleteState::CompleteState(LauncherContext* context, bool quitOnFinish)
    : State(context), quitOnFinish(quitOnFinish) {}

CompleteState::~CompleteState() { FreeSharedObjects(); }

void CompleteState::FreeSharedObjects() {
  context->prefetches.Clear();
  context->page.reset();
  context->download.reset();
}

Transition CompleteState::Update() {
  if (completed) return Transition::Stay();
  completed = true;
  // The splash stays on screen for a moment so the last status can be read.
  Sleep(kPauseMs);
  FreeSharedObjects();
  if (!quitOnFinish) return Transition::Stay();
  PostQuitMessage(0);
  Sleep(100);
  return Transition::End();
}
