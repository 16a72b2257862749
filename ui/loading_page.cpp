#include "ui/loading_page.h"

// Placeholder until the splash drawing lands: keeps the page's size and text.
LoadingPage::LoadingPage(HWND window) : window(window) {}
LoadingPage::~LoadingPage() = default;
void LoadingPage::Redraw() {}
void LoadingPage::SetProgress(int64_t, int64_t) {}
void LoadingPage::SetLogo(Gdiplus::Image*) {}
Gdiplus::Image* LoadImageFromFile(const std::wstring&) { return nullptr; }
