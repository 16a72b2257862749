#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "app/main_window.h"
#include "workflow/run_plan.h"
#include "workflow/state.h"
#include "workflow/terminal_states.h"
#include "net/download_task.h"
#include "ui/loading_page.h"

namespace {

int g_destroyed = 0;

class CountingState : public State {
 public:
  using State::State;
  ~CountingState() override { ++g_destroyed; }
  Transition Update() override {
    ++updates;
    return Transition::Stay();
  }
  int updates = 0;
};

// Hands over on its first Update.
class HandOverState : public State {
 public:
  using State::State;
  ~HandOverState() override { ++g_destroyed; }
  Transition Update() override { return Transition::To(std::make_unique<CountingState>(context)); }
};

int g_chainUpdates = 0;

// Hands over to another of its kind on every update, without end.
class ChainState : public State {
 public:
  using State::State;
  Transition Update() override {
    ++g_chainUpdates;
    return Transition::To(std::make_unique<ChainState>(context));
  }
};

class FakePage : public ILoadingPage {
 public:
  explicit FakePage(bool* destroyed) : destroyed_(destroyed) {}
  ~FakePage() override { *destroyed_ = true; }
  void Redraw() override {}
  void SetProgress(int64_t, int64_t) override {}
  int GetWidth() override { return 462; }
  int GetHeight() override { return 136; }
  void SetStatusText(const std::wstring&) override {}
  void SetLogo(Gdiplus::Image*) override {}

 private:
  bool* destroyed_;
};

void DrainQuit() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

TEST(StateMachine, TransitionDestroysTheCallerAndInstallsTheNext) {
  LauncherContext ctx;
  g_destroyed = 0;
  (new HandOverState(&ctx))->MakeCurrent();
  EXPECT_TRUE(Advance(ctx));
  EXPECT_EQ(g_destroyed, 1);
  ASSERT_NE(dynamic_cast<CountingState*>(ctx.state.get()), nullptr);
  // The new state gets its first Update on the next tick only.
  EXPECT_EQ(static_cast<CountingState*>(ctx.state.get())->updates, 0);
  EXPECT_FALSE(Advance(ctx));
  EXPECT_EQ(static_cast<CountingState*>(ctx.state.get())->updates, 1);
  ctx.state.reset();
}

TEST(StateMachine, MakeCurrentReplacesWhateverWasCurrent) {
  LauncherContext ctx;
  g_destroyed = 0;
  (new CountingState(&ctx))->MakeCurrent();
  State* first = ctx.state.get();
  (new CountingState(&ctx))->MakeCurrent();
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_NE(ctx.state.get(), first);
  ctx.state.reset();
}

TEST(CompleteState, PausesFreesSharedObjectsAndQuits) {
  LauncherContext ctx;
  bool pageGone = false;
  ctx.page = std::make_unique<FakePage>(&pageGone);
  ctx.download = std::make_unique<DownloadTask>();
  (new CompleteState(&ctx, true))->MakeCurrent();
  DWORD start = GetTickCount();
  EXPECT_TRUE(Advance(ctx));
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, CompleteState::kPauseMs);
  EXPECT_TRUE(pageGone);
  EXPECT_EQ(ctx.page, nullptr);
  EXPECT_EQ(ctx.download, nullptr);
  // The run is over; a later tick finds nothing to run.
  EXPECT_EQ(ctx.state, nullptr);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 0u);
  DrainQuit();
}

TEST(CompleteState, WithoutPageOrTaskSkipsTheirDestruction) {
  LauncherContext ctx;
  auto* complete = new CompleteState(&ctx, false);
  complete->MakeCurrent();
  EXPECT_FALSE(Advance(ctx));
  // Without quitOnFinish it stays current and ignores further ticks.
  EXPECT_EQ(ctx.state.get(), complete);
  DWORD start = GetTickCount();
  EXPECT_FALSE(Advance(ctx));
  EXPECT_LT(GetTickCount() - start, 1000u);
  ctx.state.reset();
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(ErrorState, ShowsOneBoxWhileTicksArriveThenCompletes) {
  static LauncherContext ctx;
  static std::atomic<int> ticks{0};
  ctx.state.reset();  // a fresh context on every run of this test
  ctx.download.reset();
  ctx.page.reset();
  ticks = 0;
  (new ErrorState(&ctx, "下载配置失败！[error:x]"))->MakeCurrent();
  // Ticks keep coming from the box's own message loop, as the window timer's do.
  UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
    ++ticks;
    if (ctx.state && dynamic_cast<ErrorState*>(ctx.state.get())) Advance(ctx);
  });
  DWORD myThread = GetCurrentThreadId();
  int boxes = 0;
  int ticksWhileOpen = 0;
  std::wstring text, caption;
  std::thread clicker([&] {
    HWND box = nullptr;
    for (int i = 0; i < 200 && !box; ++i) {
      Sleep(50);
      EnumThreadWindows(myThread, [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[32] = {};
        GetClassNameW(w, cls, 32);
        if (wcscmp(cls, L"#32770") == 0) {
          *reinterpret_cast<HWND*>(p) = w;
          return FALSE;
        }
        return TRUE;
      }, reinterpret_cast<LPARAM>(&box));
    }
    if (!box) return;
    // Let ticks reach the open box; timer messages are starved on a busy
    // machine, so wait for them rather than for a fixed time.
    int before = ticks;
    for (int i = 0; i < 500 && ticks < before + 3; ++i) Sleep(20);
    ticksWhileOpen = ticks - before;
    EnumThreadWindows(myThread, [](HWND w, LPARAM p) -> BOOL {
      wchar_t cls[32] = {};
      GetClassNameW(w, cls, 32);
      if (wcscmp(cls, L"#32770") == 0) ++*reinterpret_cast<int*>(p);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&boxes));
    wchar_t buf[256] = {};
    GetWindowTextW(box, buf, 256);
    caption = buf;
    EnumChildWindows(box, [](HWND c, LPARAM p) -> BOOL {
      wchar_t cls[32] = {}, t[256] = {};
      GetClassNameW(c, cls, 32);
      GetWindowTextW(c, t, 256);
      if (_wcsicmp(cls, L"Static") == 0 && wcslen(t) > 0) *reinterpret_cast<std::wstring*>(p) = t;
      return TRUE;
    }, reinterpret_cast<LPARAM>(&text));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  Advance(ctx);  // blocks in the box until the clicker presses OK
  clicker.join();
  KillTimer(nullptr, timer);
  EXPECT_EQ(boxes, 1);
  EXPECT_GE(ticksWhileOpen, 3);
  EXPECT_EQ(caption, L"提示");
  EXPECT_EQ(text, L"下载配置失败！[error:x]");
  ASSERT_NE(dynamic_cast<CompleteState*>(ctx.state.get()), nullptr);
  ctx.state.reset();
  DrainQuit();
}

TEST(MainWindow, CentredAtThePageSizeAndDeafToCloseRequests) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterMainWindowClass(instance);
  LauncherContext ctx;
  ASSERT_TRUE(CreateMainWindow(ctx, instance, SW_SHOW));
  KillTimer(ctx.window, kTimerId);  // this test drives no states
  RECT r;
  ASSERT_TRUE(GetWindowRect(ctx.window, &r));
  int w = ctx.page->GetWidth(), h = ctx.page->GetHeight();
  EXPECT_EQ(r.right - r.left, w);
  EXPECT_EQ(r.bottom - r.top, h);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - w) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - h) / 2);
  LONG style = GetWindowLongW(ctx.window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_NE(GetWindowLongW(ctx.window, GWL_EXSTYLE) & WS_EX_LAYERED, 0);

  SendMessageW(ctx.window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(ctx.window));
  SendMessageW(ctx.window, WM_COMMAND, 105, 0);
  EXPECT_FALSE(IsWindow(ctx.window));

  ctx.state.reset();
  ctx.page.reset();
  // A tick with no current state does nothing, nor does one for a window
  // that drives no context.
  RunStates(ctx);
  OnTimerTick(nullptr, WM_TIMER, kTimerId, 0);
  EXPECT_EQ(ctx.state, nullptr);
  DrainQuit();
}

TEST(MainWindow, ATickBeginsEachSuccessorAtOnceUpToABound) {
  LauncherContext ctx;
  g_chainUpdates = 0;
  (new ChainState(&ctx))->MakeCurrent();
  RunStates(ctx);
  EXPECT_EQ(g_chainUpdates, kStatesPerTick);
  RunStates(ctx);
  EXPECT_EQ(g_chainUpdates, 2 * kStatesPerTick);

  // The successor begins in the same tick, and a state that waits ends it.
  (new HandOverState(&ctx))->MakeCurrent();
  RunStates(ctx);
  auto* waiting = dynamic_cast<CountingState*>(ctx.state.get());
  ASSERT_NE(waiting, nullptr);
  EXPECT_EQ(waiting->updates, 1);
  ctx.state.reset();
}

TEST(MainWindow, AWakeFromAnotherThreadUpdatesTheStatesBeforeTheNextTick) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterMainWindowClass(instance);
  LauncherContext ctx;
  ASSERT_TRUE(CreateMainWindow(ctx, instance, SW_HIDE));
  KillTimer(ctx.window, kTimerId);
  ctx.state.reset();
  MSG msg;
  auto* counting = new CountingState(&ctx);
  counting->MakeCurrent();
  ASSERT_TRUE(ctx.wake);
  std::thread([&ctx] { ctx.wake(); }).join();
  while (PeekMessageW(&msg, ctx.window, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_EQ(counting->updates, 1);
  // The window's timer drives the same context.
  OnTimerTick(ctx.window, WM_TIMER, kTimerId, 0);
  EXPECT_EQ(counting->updates, 2);

  DestroyWindow(ctx.window);
  ctx.state.reset();
  ctx.page.reset();
  ctx.wake = nullptr;
  DrainQuit();
}
