#include "app/main_window.h"

#include <memory>
#include <utility>

#include "app/state_waker.h"

#include "workflow/launcher_context.h"
#include "workflow/state.h"
#include "resource.h"
#include "ui/loading_page.h"
#include "workflow/run_plan.h"

namespace {
constexpr int kMaxLoadString = 100;
wchar_t g_className[kMaxLoadString] = L"PALLWICK";
wchar_t g_title[kMaxLoadString] = L"Pallwick";

// The context a window drives, kept in the window's user data.
LauncherContext* ContextOf(HWND window) {
  return reinterpret_cast<LauncherContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
}  // namespace

wchar_t* WindowClassName() { return g_className; }
wchar_t* WindowTitle() { return g_title; }

void RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_LAUNCHER), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                           LR_DEFAULTCOLOR));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = g_className;
  RegisterClassExW(&wc);
}

void BeginWorkflow(LauncherContext& ctx) {
  // Set once, before the first request: every request keeps a copy.
  ctx.wake = [] { TheStateWaker().Wake(); };
  ctx.state = FirstState(&ctx);
  RunStates(ctx);
}

bool CreateMainWindow(LauncherContext& ctx, HINSTANCE instance, int showMode, const std::function<void()>& beforeTakingStates) {
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);

  // No title: the splash never shows one.
  HWND window = CreateWindowExW(0, g_className, nullptr, WS_OVERLAPPED, 0, 100, 0, 100, nullptr,
                                nullptr, instance, nullptr);
  if (!window) return false;
  SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) & ~WS_CAPTION);
  SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  ShowWindow(window, showMode);
  UpdateWindow(window);

  auto page = std::make_unique<LoadingPage>(window);
  int width = page->GetWidth();
  int height = page->GetHeight();
  MoveWindow(window, (screenWidth - width) / 2, (screenHeight - height) / 2, width, height, TRUE);

  // The context is the states' until here, possibly on another thread.
  if (beforeTakingStates) beforeTakingStates();
  ctx.instance = instance;
  ctx.window = window;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&ctx));
  if (!ctx.logoFileForPage.empty()) {
    page->SetLogoFile(ctx.logoFileForPage);
    ctx.logoFileForPage.clear();
  }
  ctx.page = std::move(page);
  TheStateWaker().SetWindow(window);
  ctx.wake = [] { TheStateWaker().Wake(); };
  if (!ctx.state) ctx.state = FirstState(&ctx);
  SetTimer(window, kTimerId, kTimerPeriodMs, OnTimerTick);
  return true;
}

void CALLBACK OnTimerTick(HWND window, UINT, UINT_PTR, DWORD) {
  if (LauncherContext* ctx = ContextOf(window)) RunStates(*ctx);
}

void RunStates(LauncherContext& ctx) {
  // A state that hands over begins its successor in the same tick, rather
  // than a tick later: on an up-to-date install that is most of the states.
  // The bound keeps a chain of states that never wait from holding the
  // message loop.
  for (int i = 0; i < kStatesPerTick; ++i)
    if (!Advance(ctx)) return;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      // The picture comes from the page through UpdateLayeredWindow.
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 0;
    case kWakeMessage:
      if (LauncherContext* ctx = ContextOf(window)) RunStates(*ctx);
      return 0;
    case WM_CLOSE:    // the splash cannot be closed by the user
    case WM_DESTROY:  // only CompleteState ends the message loop
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDM_EXIT) {
        DestroyWindow(window);
        return 0;
      }
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
