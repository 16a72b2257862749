#include "workflow/terminal_states.h"

#include <windows.h>

#include "base/text.h"
#include "net/download_task.h"
#include "ui/loading_page.h"

ErrorState::ErrorState(LauncherContext* context, const std::string& message)
    : State(context), message(message) {}

void ErrorState::Update() {
  if (shown) return;
  shown = true;
  // Shown through the wide API so the text reads right whatever the system code page.
  MessageBoxW(context->window, base::ToWide(message, base::kCodePageUtf8).c_str(), L"提示", MB_OK);
  TransitionTo<CompleteState>(context, true);
}

CompleteState::CompleteState(LauncherContext* context, bool quitOnFinish)
    : State(context), quitOnFinish(quitOnFinish) {}

CompleteState::~CompleteState() { FreeSharedObjects(); }

void CompleteState::FreeSharedObjects() {
  context->prefetches.Clear();
  context->page.reset();
  context->download.reset();
}

void CompleteState::Update() {
  if (completed) return;
  completed = true;
  // The splash stays on screen for a moment so the last status can be read.
  Sleep(kPauseMs);
  FreeSharedObjects();
  if (quitOnFinish) {
    PostQuitMessage(0);
    Sleep(100);
    context->state.reset();  // destroys this state
  }
}
