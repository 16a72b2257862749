// The splash page on a real layered window under wine: the picture is read
// back from the screen, over a backdrop window that plays the desktop.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "workflow/launcher_context.h"
#include "app/main_window.h"
#include "workflow/state.h"
#include "base/fs.h"
#include "base/handles.h"
#include "base/text.h"
#include "support/files.h"
#include "support/scratch_folder.h"
#include "support/screen_capture.h"
#include "ui/loading_page.h"

namespace {

constexpr wchar_t kBackdropClass[] = L"VornTestBackdrop";
constexpr wchar_t kSplashClass[] = L"VornTestSplash";
constexpr COLORREF kDesktopBlue = RGB(58, 110, 165);
constexpr COLORREF kDesktopPink = RGB(200, 60, 160);
constexpr int kMargin = 16;  // screen kept around the page in artefacts

COLORREF g_backdropColour = kDesktopBlue;

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  char text[16];
  snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
  return os << text;
}

Rgb FromColorRef(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

// `argb` drawn over `under` with source-over blending.
Rgb Over(Rgb under, uint32_t argb) {
  int a = argb >> 24;
  auto mix = [a](int top, int bottom) { return (top * a + bottom * (255 - a) + 127) / 255; };
  return {mix((argb >> 16) & 0xFF, under.r), mix((argb >> 8) & 0xFF, under.g),
          mix(argb & 0xFF, under.b)};
}

::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance) {
  if (abs(actual.r - expected.r) <= tolerance && abs(actual.g - expected.g) <= tolerance &&
      abs(actual.b - expected.b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of "
                                       << expected;
}

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(window, &r);
    base::UniqueGdiObject brush(CreateSolidBrush(g_backdropColour));
    FillRect(reinterpret_cast<HDC>(wParam), &r, static_cast<HBRUSH>(brush.Get()));
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Paints nothing, like the launcher's own window procedure.
LRESULT CALLBACK SplashProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpfnWndProc = BackdropProc;
  wc.lpszClassName = kBackdropClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = SplashProc;
  wc.lpszClassName = kSplashClass;
  RegisterClassExW(&wc);
}

// Lets wine hand the windows' pictures to the X server.
void Settle(DWORD ms = 200) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// The "desktop": a tool window around the screen's centre. It stays smaller
// than the screen, which wine would otherwise treat as a managed window.
HWND CreateBackdrop() {
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  HWND w = CreateWindowExW(WS_EX_TOOLWINDOW, kBackdropClass, nullptr, WS_POPUP | WS_VISIBLE,
                           sw / 2 - 400, sh / 2 - 200, 800, 400, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  UpdateWindow(w);
  return w;
}

void SetBackdropColour(HWND backdrop, COLORREF colour) {
  g_backdropColour = colour;
  InvalidateRect(backdrop, nullptr, TRUE);
  UpdateWindow(backdrop);
}

// Screenshots are kept in the build folder.
const std::wstring& ArtefactDir() {
  static std::wstring dir = [] {
    std::wstring d = support::ArtifactDir(L"page");
    printf("screenshots in %s\n", base::Utf8(d).c_str());
    return d;
  }();
  return dir;
}

// A screen capture of a window's rectangle plus a margin, in page coordinates.
class Shot {
 public:
  explicit Shot(HWND window) {
    GetWindowRect(window, &rect_);
    EXPECT_TRUE(support::CaptureWindow(window, &capture_, kMargin));
  }

  const RECT& WindowRect() const { return rect_; }
  // Pixel at page coordinates (x, y); the margin lies at negative and beyond-size values.
  Rgb At(int x, int y) const {
    uint32_t v = capture_.At(x + kMargin, y + kMargin);
    return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
            static_cast<int>(v & 0xFF)};
  }
  // The captures hold colours only (no alpha byte).
  bool SameAs(const Shot& o) const {
    return capture_.width == o.capture_.width && capture_.height == o.capture_.height &&
           capture_.pixels == o.capture_.pixels;
  }
  int PageWidth() const { return capture_.width - 2 * kMargin; }
  int PageHeight() const { return capture_.height - 2 * kMargin; }

  void Save(const std::string& name) const {
    EXPECT_TRUE(support::SavePng(capture_, ArtefactDir() + L"\\" + base::ToWide(name) + L".png")) << name;
  }

 private:
  RECT rect_{};
  support::Capture capture_;
};

// Writes a solid-colour PNG for use as a downloaded logo.
std::wstring WriteLogoFile(const std::wstring& name, int width, int height, uint32_t argb) {
  std::wstring path = support::TempFolder() + name;
  std::string png = support::MakePng(width, height, argb);
  EXPECT_FALSE(png.empty());
  EXPECT_TRUE(support::WriteFileBytes(path, png));
  return path;
}

bool IsRed(Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }

// The splash set up the way start-up does it: a plain overlapped window made
// borderless and layered, shown, then sized and centred from the page. The
// windows live for the whole suite: wine waits up to two seconds for the X
// server whenever a managed window is destroyed, so each test only makes a
// new page on the same window.
class PageWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterClasses();
    g_backdropColour = kDesktopBlue;
    backdrop = CreateBackdrop();
    window = CreateWindowExW(0, kSplashClass, nullptr, WS_OVERLAPPED, 0, 100, 0, 100, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) & ~WS_CAPTION);
    SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  static void TearDownTestSuite() {
    DestroyWindow(window);
    DestroyWindow(backdrop);
    window = backdrop = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(window, nullptr);
    SetBackdropColour(backdrop, kDesktopBlue);
    page = std::make_unique<LoadingPage>(window);
    int w = page->GetWidth(), h = page->GetHeight();
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, TRUE);
  }
  void TearDown() override { page.reset(); }
  Shot Grab(const std::string& artefact = "") {
    Settle();
    Shot shot(window);
    if (!artefact.empty()) shot.Save(artefact);
    return shot;
  }

  static HWND backdrop;
  static HWND window;
  std::unique_ptr<LoadingPage> page;
};

HWND PageWindowTest::backdrop = nullptr;
HWND PageWindowTest::window = nullptr;
}  // namespace

TEST_F(PageWindowTest, ShippedBackgroundGivesTheSizeAndFillsTheWindowExactly) {
  EXPECT_EQ(page->GetWidth(), 462);
  EXPECT_EQ(page->GetHeight(), 136);
  page->Redraw();
  Shot shot = Grab("redraw");
  Rgb desktop = FromColorRef(kDesktopBlue);
  // The card's rounded sides sit two pixels inside the window on the left and
  // right, and the crest reaches up to the second row.
  for (int y : {40, 68, 100}) {
    EXPECT_EQ(shot.At(0, y), desktop) << y;
    EXPECT_NE(shot.At(4, y), desktop) << y;
    EXPECT_EQ(shot.At(461, y), desktop) << y;
    EXPECT_NE(shot.At(457, y), desktop) << y;
  }
  EXPECT_EQ(shot.At(200, 0), desktop);
  EXPECT_NE(shot.At(200, 4), desktop);
  EXPECT_EQ(shot.At(200, 135), desktop);
  EXPECT_NE(shot.At(200, 131), desktop);
  // Nothing is drawn outside the window.
  EXPECT_EQ(shot.At(-3, 68), desktop);
  EXPECT_EQ(shot.At(464, 68), desktop);
}

TEST_F(PageWindowTest, TransparentArtworkShowsWhateverIsBehindIt) {
  page->Redraw();
  Shot blue = Grab();
  SetBackdropColour(backdrop, kDesktopPink);
  Shot pink = Grab("over-pink-desktop");
  // Outside the card's shape: the corners and beside the crest.
  for (POINT p : {POINT{0, 0}, POINT{20, 5}, POINT{440, 8}, POINT{461, 135}, POINT{0, 135}}) {
    EXPECT_EQ(blue.At(p.x, p.y), FromColorRef(kDesktopBlue)) << p.x << "," << p.y;
    EXPECT_EQ(pink.At(p.x, p.y), FromColorRef(kDesktopPink)) << p.x << "," << p.y;
  }
  // Inside it the picture does not depend on the desktop.
  for (POINT p : {POINT{231, 120}, POINT{100, 40}, POINT{231, 5}, POINT{10, 68}})
    EXPECT_EQ(blue.At(p.x, p.y), pink.At(p.x, p.y)) << p.x << "," << p.y;
}

TEST_F(PageWindowTest, StatusTextAppearsOnlyWithTheNextRepaint) {
  page->SetStatusText(L"");
  page->Redraw();
  Shot plain = Grab();
  page->SetStatusText(L"正在加载资源...");
  Shot unchanged = Grab();
  EXPECT_TRUE(unchanged.SameAs(plain)) << "the text must wait for a repaint";

  page->Redraw();
  Shot text = Grab("status-text");
  int changed = 0, outside = 0, brightest = 0;
  for (int y = 0; y < 136; ++y) {
    for (int x = 0; x < 462; ++x) {
      Rgb a = plain.At(x, y), b = text.At(x, y);
      if (a == b) continue;
      ++changed;
      // Nine-point text from (60, 85): one line, well inside this box.
      if (x < 58 || x > 300 || y < 83 || y > 104) ++outside;
      brightest = std::max(brightest, std::min({b.r, b.g, b.b}));
    }
  }
  EXPECT_GT(changed, 60);
  EXPECT_EQ(outside, 0);
  EXPECT_GT(brightest, 170) << "the text is drawn in near-white";
}

// The longest lines the download states show: the package state's text with
// the widest figures, and the longest state text with a retry notice.
TEST_F(PageWindowTest, DownloadFiguresAndRetryNoticeFitOnTheCard) {
  const wchar_t* const lines[] = {
      L"正在准备客户端资源，请稍后... 1023M/1023M 1023K/s 剩余59分钟",
      L"正在准备客户端资源，请稍后... 9.9K/1023G 1023M/s 剩余99小时",
      L"正在检查客户端版本信息，请稍后... 网络中断，正在第30次重试...",
  };
  page->SetStatusText(L"");
  page->SetProgress(1, 2);
  Shot plain = Grab();
  int n = 0;
  for (const wchar_t* line : lines) {
    SCOPED_TRACE(base::Utf8(line));
    page->SetStatusText(line);
    page->SetProgress(1, 2);
    Shot shot = Grab("status-long-" + std::to_string(n++));
    int rightmost = 0, outside = 0;
    for (int y = 0; y < 136; ++y) {
      for (int x = 0; x < 462; ++x) {
        if (plain.At(x, y) == shot.At(x, y)) continue;
        rightmost = std::max(rightmost, x);
        if (x < 58 || y < 83 || y > 104) ++outside;
      }
    }
    EXPECT_GT(rightmost, 300) << "the line was drawn";
    // The card's soft right edge begins a few pixels inside x = 461.
    EXPECT_LE(rightmost, 450);
    EXPECT_EQ(outside, 0);
  }
}

TEST_F(PageWindowTest, ProgressTrackAndFillHaveTheirColoursAndPlaces) {
  constexpr uint32_t kTrack = 0xDC313149, kFill = 0xDC198BFE;
  page->Redraw();
  Shot plain = Grab();

  page->SetProgress(1, 2);
  Shot half = Grab("progress-1-of-2");
  for (int x : {56, 100, 150, 218})
    EXPECT_TRUE(Near(half.At(x, 106), Over(plain.At(x, 106), kFill), 3)) << "fill at " << x;
  for (int x : {226, 300, 391})
    EXPECT_TRUE(Near(half.At(x, 106), Over(plain.At(x, 106), kTrack), 3)) << "track at " << x;
  // The bar is six pixels thick on y = 106 and ends at x = 50 and 395.
  for (POINT p : {POINT{46, 106}, POINT{399, 106}, POINT{120, 99}, POINT{120, 113}})
    EXPECT_EQ(half.At(p.x, p.y), plain.At(p.x, p.y)) << p.x << "," << p.y;

  page->SetProgress(1, 1);
  Shot full = Grab("progress-full");
  EXPECT_TRUE(Near(full.At(391, 106), Over(plain.At(391, 106), kFill), 3));

  page->SetProgress(0, 1);
  Shot empty = Grab("progress-empty");
  EXPECT_TRUE(Near(empty.At(56, 106), Over(plain.At(56, 106), kTrack), 3));

  // Redraw shows the page without the bar again.
  page->Redraw();
  EXPECT_TRUE(Grab().SameAs(plain));
}

TEST_F(PageWindowTest, RepaintsDoNotBuildUpOnTheSoftEdges) {
  page->SetProgress(2, 5);
  Shot first = Grab();
  for (int i = 0; i < 30; ++i) page->SetProgress(2, 5);
  Shot later = Grab("after-31-repaints");
  EXPECT_TRUE(later.SameAs(first));
}

TEST_F(PageWindowTest, LogoPopsInCentredAndSettlesAfterFourteenRepaints) {
  page->Redraw();
  Shot plain = Grab();
  Gdiplus::Image* logo = LoadImageFromFile(WriteLogoFile(L"vorn-test-logo.png", 100, 40, 0xFFFF0000));
  ASSERT_NE(logo, nullptr);
  page->SetLogo(logo);
  EXPECT_TRUE(Grab().SameAs(plain)) << "the logo waits for a repaint";

  // 8 degrees: 13 x 5 pixels at (224, 32).
  page->Redraw();
  Shot first = Grab("logo-frame-1");
  EXPECT_TRUE(IsRed(first.At(230, 34))) << first.At(230, 34);
  EXPECT_FALSE(IsRed(first.At(220, 34)));
  EXPECT_FALSE(IsRed(first.At(240, 34)));

  for (int i = 2; i <= 14; ++i) page->Redraw();
  // 110 degrees: 93 x 37 pixels at (184, 16).
  Shot settled = Grab("logo-frame-14");
  for (POINT p : {POINT{186, 18}, POINT{274, 50}, POINT{231, 34}})
    EXPECT_TRUE(IsRed(settled.At(p.x, p.y))) << p.x << "," << p.y;
  for (POINT p : {POINT{181, 34}, POINT{279, 34}, POINT{231, 13}, POINT{231, 55}})
    EXPECT_FALSE(IsRed(settled.At(p.x, p.y))) << p.x << "," << p.y;

  for (int i = 0; i < 6; ++i) page->Redraw();
  EXPECT_TRUE(Grab().SameAs(settled)) << "the logo keeps its last size and place";
}

TEST_F(PageWindowTest, UndecodableLogoDrawsNothingAndThePageCarriesOn) {
  page->Redraw();
  Shot plain = Grab();
  const std::wstring temp = support::TempFolder();
  std::wstring broken = temp + L"vorn-test-broken-logo.png";
  ASSERT_TRUE(base::WriteWholeFile(broken, "this is not a picture"));

  Gdiplus::Image* missing = LoadImageFromFile(temp + L"vorn-no-such-logo.png");
  ASSERT_NE(missing, nullptr) << "an object that records the failure, not null";
  EXPECT_NE(missing->GetLastStatus(), Gdiplus::Ok);
  delete missing;

  Gdiplus::Image* logo = LoadImageFromFile(broken);
  ASSERT_NE(logo, nullptr);
  page->SetLogo(logo);
  for (int i = 0; i < 3; ++i) page->Redraw();
  EXPECT_TRUE(Grab().SameAs(plain));
}

// The downloaded logo is handed over as its file and decoded at the next
// repaint, which then draws its first frame as SetLogo's would.
TEST_F(PageWindowTest, ALogoFileIsDecodedAtTheNextRepaint) {
  page->Redraw();
  Shot plain = Grab();
  page->SetLogoFile(WriteLogoFile(L"vorn-test-pending-logo.png", 100, 40, 0xFFFF0000));
  EXPECT_TRUE(Grab().SameAs(plain)) << "the logo waits for a repaint";
  page->Redraw();
  Shot first = Grab("pending-logo-frame-1");
  EXPECT_TRUE(IsRed(first.At(230, 34))) << first.At(230, 34);
  EXPECT_FALSE(IsRed(first.At(220, 34)));

  // A broken file decodes to a picture that draws nothing; the page goes on.
  std::wstring broken = support::TempFolder() + L"vorn-test-broken-pending-logo.png";
  ASSERT_TRUE(base::WriteWholeFile(broken, "this is not a picture"));
  page->SetLogo(nullptr);
  page->SetLogoFile(broken);
  for (int i = 0; i < 3; ++i) page->Redraw();
  EXPECT_TRUE(Grab().SameAs(plain));
}

// The launcher's own window as start-up makes it, over the backdrop.
class MainWindowSplash : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterClasses();
    g_backdropColour = kDesktopBlue;
    backdrop = CreateBackdrop();
    RegisterMainWindowClass(instance);
  }
  void TearDown() override {
    ctx.state.reset();
    ctx.page.reset();
    ctx.logoFileForPage.clear();
    if (ctx.window) DestroyWindow(ctx.window);
    ctx.window = nullptr;
    DestroyWindow(backdrop);
    Settle(50);
  }

  HINSTANCE instance = GetModuleHandleW(nullptr);
  HWND backdrop = nullptr;
  LauncherContext ctx;
};

TEST_F(MainWindowSplash, StartUpCentresTheWindowAtThePageSize) {
  ASSERT_TRUE(CreateMainWindow(ctx, instance, SW_SHOW));
  KillTimer(ctx.window, kTimerId);  // no state runs here: only the first picture counts
  ctx.page->SetStatusText(L"正在准备客户端资源，请稍后...");
  ctx.page->SetProgress(3, 5);
  Settle();
  Shot shot(ctx.window);
  shot.Save("launcher-window");

  RECT r = shot.WindowRect();
  EXPECT_EQ(r.right - r.left, 462);
  EXPECT_EQ(r.bottom - r.top, 136);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 462) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 136) / 2);
  // The picture lies exactly on the window: transparent just inside its
  // edges, the card two pixels in.
  Rgb desktop = FromColorRef(kDesktopBlue);
  EXPECT_EQ(shot.At(0, 68), desktop);
  EXPECT_NE(shot.At(4, 68), desktop);
  EXPECT_EQ(shot.At(461, 68), desktop);
  EXPECT_NE(shot.At(457, 68), desktop);
}

// The first states run while the window is made, so the logo may be there
// before the page: the page takes it when it is made.
TEST_F(MainWindowSplash, ALogoThatCameBeforeThePageIsDrawnOnIt) {
  ctx.logoFileForPage = WriteLogoFile(L"vorn-test-early-logo.png", 100, 40, 0xFFFF0000);
  bool statesHandedOver = false;
  ASSERT_TRUE(CreateMainWindow(ctx, instance, SW_SHOW, [&] {
    statesHandedOver = true;
    EXPECT_FALSE(ctx.logoFileForPage.empty()) << "nothing takes the logo before the states are handed over";
  }));
  KillTimer(ctx.window, kTimerId);
  EXPECT_TRUE(statesHandedOver);
  EXPECT_TRUE(ctx.logoFileForPage.empty());
  for (int i = 1; i <= 14; ++i) ctx.page->Redraw();
  Settle();
  Shot shot(ctx.window);
  shot.Save("launcher-window-early-logo");
  // Where the logo settles (see LogoPopsInCentredAndSettlesAfterFourteenRepaints).
  for (POINT p : {POINT{186, 18}, POINT{274, 50}, POINT{231, 34}})
    EXPECT_TRUE(IsRed(shot.At(p.x, p.y))) << p.x << "," << p.y;
}
