// A stand-in game client for tests and the demo. Each start appends one line
// to "<own file name>.cmdline.txt" next to itself (or in the folder named by
// VORN_TEST_GAME_DIR): the show mode it was started with, a tab, and its
// parameter text in UTF-8. Then it exits, unless
//   - its parameters contain "--stay": it waits (at most a minute) to be ended;
//   - VORN_TEST_GAME_WINDOW is set: it shows "game started" and its parameters
//     in a window until that is closed.
#include <windows.h>

#include <string>

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
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(h);
      return;
    }
    Sleep(20);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void ShowStartedWindow(HINSTANCE instance, const std::wstring& params, int showMode) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VornTestGame";
  RegisterClassW(&wc);
  HWND window = CreateWindowW(L"VornTestGame", L"game started", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 720, 240, nullptr, nullptr, instance, nullptr);
  std::wstring text = L"game started\r\n\r\n" + params;
  CreateWindowW(L"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 10,
                10, 680, 170, window, nullptr, instance, nullptr);
  ShowWindow(window, showMode == SW_SHOWMAXIMIZED ? SW_SHOWNORMAL : SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
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
