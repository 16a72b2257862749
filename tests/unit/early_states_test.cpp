// The first states on a thread of their own while the window is made.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "app/early_states.h"
#include "app/main_window.h"
#include "app/state_waker.h"
#include "workflow/launcher_context.h"
#include "workflow/run_plan.h"
#include "workflow/state.h"

namespace {

std::atomic<DWORD> g_firstThread{0};
std::atomic<int> g_waitingUpdates{0};
std::atomic<bool> g_release{false};
std::atomic<bool> g_windowStateMade{false};
std::atomic<int> g_windowStateUpdates{0};

// Needs the window: must wait for the window's thread.
class NeedsWindow : public State {
 public:
  explicit NeedsWindow(LauncherContext* context) : State(context) { g_windowStateMade = true; }
  Transition Update() override {
    ++g_windowStateUpdates;
    return Transition::Stay();
  }
};

// Waits, like a request in flight, until the test lets it go on.
class WaitingEarly : public State {
 public:
  using State::State;
  bool RunsBeforeWindow() const override { return true; }
  Transition Update() override {
    ++g_waitingUpdates;
    if (g_release) return Transition::To(std::make_unique<NeedsWindow>(context));
    return Transition::Stay();
  }
};

class FirstEarly : public State {
 public:
  using State::State;
  bool RunsBeforeWindow() const override { return true; }
  Transition Update() override {
    g_firstThread = GetCurrentThreadId();
    return Transition::To(std::make_unique<WaitingEarly>(context));
  }
};

void ResetCounters() {
  g_firstThread = 0;
  g_waitingUpdates = 0;
  g_release = false;
  g_windowStateMade = false;
  g_windowStateUpdates = 0;
}

// Polls `done` for up to five seconds.
template <class Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

}  // namespace

TEST(EarlyStates, RunsStatesThatNeedNoWindowElsewhereAndStopsAtTheFirstThatDoes) {
  ResetCounters();
  LauncherContext ctx;
  StateWaker waker;
  (new FirstEarly(&ctx))->MakeCurrent();
  EarlyStates early;
  ASSERT_TRUE(early.Start(ctx, waker));
  ASSERT_TRUE(WaitFor([] { return g_waitingUpdates.load() > 0; }));
  EXPECT_NE(g_firstThread.load(), 0u);
  EXPECT_NE(g_firstThread.load(), GetCurrentThreadId());

  g_release = true;
  waker.Wake();
  ASSERT_TRUE(WaitFor([] { return g_windowStateMade.load(); }));
  // Several of the thread's periods: it must leave the state alone.
  Sleep(5 * kTimerPeriodMs);
  early.Stop();
  EXPECT_EQ(g_windowStateUpdates.load(), 0);

  // From here on the states are this thread's.
  ASSERT_NE(dynamic_cast<NeedsWindow*>(ctx.state.get()), nullptr);
  Advance(ctx);
  EXPECT_EQ(g_windowStateUpdates.load(), 1);
}

TEST(EarlyStates, StopReturnsWhileAStateWaitsAndNothingRunsAfterIt) {
  ResetCounters();
  LauncherContext ctx;
  StateWaker waker;
  (new WaitingEarly(&ctx))->MakeCurrent();
  EarlyStates early;
  ASSERT_TRUE(early.Start(ctx, waker));
  ASSERT_TRUE(WaitFor([] { return g_waitingUpdates.load() > 1; }));
  early.Stop();
  early.Stop();  // a second stop changes nothing
  int updates = g_waitingUpdates.load();
  waker.Wake();
  Sleep(3 * kTimerPeriodMs);
  EXPECT_EQ(g_waitingUpdates.load(), updates);
  EXPECT_NE(dynamic_cast<WaitingEarly*>(ctx.state.get()), nullptr);
}

TEST(StateWaker, WakesTheWaiterBeforeTheWindowAndTheWindowOnceThereIsOne) {
  StateWaker waker;
  EXPECT_FALSE(waker.Wait(0));
  waker.Wake();
  EXPECT_TRUE(waker.Wait(0));
  EXPECT_FALSE(waker.Wait(0)) << "one wake, one wait";

  HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  MSG msg;
  waker.SetWindow(window);
  waker.Wake();
  EXPECT_TRUE(PeekMessageW(&msg, window, kWakeMessage, kWakeMessage, PM_REMOVE));
  waker.SetWindow(nullptr);
  waker.Wake();
  EXPECT_FALSE(PeekMessageW(&msg, window, kWakeMessage, kWakeMessage, PM_REMOVE));
  DestroyWindow(window);
}
