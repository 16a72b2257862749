// A stand-in game client for tests and the demo. Each start appends one line
// to "<own file name>.cmdline.txt" next to itself (or in the folder named by
// VORN_TEST_GAME_DIR): the show mode it was started with, a tab, and its
// parameter text in UTF-8. Then it exits, unless
//   - its parameters contain "--stay": it waits (at most a minute) to be ended;
//   - VORN_TEST_GAME_WINDOW is set: it shows "game started" and its parameters
//     in a small window in the middle of the screen until that is closed.
#include <windows.h>

#include <string>

#include "base/handles.h"

namespace {

std::wstring OwnPath() {
  wchar_t path[1024] = {};
  GetModuleFileNameW(nullptr, path, 1024);
  return path;
}

std::wstring EnvValue(const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// The command line without the program name, as the starter passed it.
std::wstring ParameterText() {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

void Record(const std::wstring& params, int showMode) {
  std::wstring self = OwnPath();
  size_t cut = self.find_last_of(L"\\/");
  std::wstring dir = EnvValue(L"VORN_TEST_GAME_DIR");
  if (dir.empty()) dir = self.substr(0, cut);
  std::wstring file = dir + L"\\" + self.substr(cut + 1) + L".cmdline.txt";
  std::string line = std::to_string(showMode) + "\t" + Utf8(params) + "\n";
  // Other starts may append at the same time: retry a busy file briefly.
  for (int attempt = 0; attempt < 50; ++attempt) {
    base::UniqueFile h(CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h) {
      DWORD written = 0;
      WriteFile(h.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      return;
    }
    Sleep(20);
  }
}

// The window of VORN_TEST_GAME_WINDOW: a small dark "game" window in the
// middle of the screen with a title band, a large "game started" heading and
// the received parameters wrapped below it. Painted with plain GDI.
struct StartedView {
  std::wstring params;
  int showMode = -1;
};
StartedView* g_view = nullptr;

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 320;

base::UniqueGdiObject MakeFont(int height, int weight) {
  return base::UniqueGdiObject(CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                           DEFAULT_PITCH, L"Tahoma"));
}

void FillBox(HDC dc, const RECT& box, COLORREF color) {
  base::UniqueGdiObject brush(CreateSolidBrush(color));
  FillRect(dc, &box, static_cast<HBRUSH>(brush.Get()));
}

void DrawLine(HDC dc, const std::wstring& text, RECT box, const base::UniqueGdiObject& font, COLORREF color,
              UINT format) {
  base::SelectGuard select(dc, font.Get());
  SetTextColor(dc, color);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_NOPREFIX);
}

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  SetBkMode(dc, TRANSPARENT);
  FillBox(dc, client, RGB(18, 26, 44));
  RECT band{0, 0, client.right, 40};
  FillBox(dc, band, RGB(25, 139, 254));
  base::UniqueGdiObject titleFont = MakeFont(16, FW_BOLD);
  base::UniqueGdiObject headingFont = MakeFont(44, FW_BOLD);
  base::UniqueGdiObject labelFont = MakeFont(14, FW_NORMAL);
  base::UniqueGdiObject textFont = MakeFont(15, FW_NORMAL);
  RECT title{20, 0, client.right - 20, 40};
  DrawLine(dc, L"Vorn sample game", title, titleFont, RGB(255, 255, 255), DT_SINGLELINE | DT_VCENTER);
  RECT heading{0, 62, client.right, 120};
  DrawLine(dc, L"game started", heading, headingFont, RGB(255, 255, 255), DT_SINGLELINE | DT_CENTER);
  RECT label{32, 140, client.right - 32, 160};
  DrawLine(dc, L"command line received", label, labelFont, RGB(140, 160, 196), DT_SINGLELINE);
  RECT panel{24, 164, client.right - 24, client.bottom - 44};
  FillBox(dc, panel, RGB(30, 42, 68));
  RECT text{panel.left + 12, panel.top + 10, panel.right - 12, panel.bottom - 10};
  std::wstring params = g_view->params.empty() ? L"(no parameters)" : g_view->params;
  DrawLine(dc, params, text, textFont, RGB(226, 234, 248), DT_WORDBREAK | DT_EDITCONTROL);
  RECT footer{32, client.bottom - 36, client.right - 32, client.bottom - 8};
  std::wstring note = L"show mode " + std::to_wstring(g_view->showMode) + L"  \x00b7  close this window to quit";
  DrawLine(dc, note, footer, labelFont, RGB(140, 160, 196), DT_SINGLELINE | DT_VCENTER);
  EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ShowStartedWindow(HINSTANCE instance, const std::wstring& params, int showMode) {
  StartedView view{params, showMode};
  g_view = &view;
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = L"VornTestGame";
  RegisterClassW(&wc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND window = CreateWindowW(L"VornTestGame", L"Vorn sample game - game started", style, x, y, width, height,
                              nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  g_view = nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  int showMode = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
  std::wstring params = ParameterText();
  Record(params, showMode);
  if (params.find(L"--stay") != std::wstring::npos) {
    Sleep(60000);
    return 0;
  }
  if (!EnvValue(L"VORN_TEST_GAME_WINDOW").empty()) ShowStartedWindow(instance, params, showMode);
  return 0;
}
