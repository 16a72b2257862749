#include "ui/loading_page.h"

// gdiplus.h needs the COM stream types declared first.
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>

#include "base/desktop.h"
#include "base/log.h"
#include "ui/page_artwork.h"
#include "ui/page_geometry.h"

namespace {

constexpr Gdiplus::ARGB kTextColour = 0xDCFFFFFF;
constexpr Gdiplus::ARGB kTrackColour = 0xDC313149;
constexpr Gdiplus::ARGB kFillColour = 0xDC198BFE;
constexpr float kFontPoints = 9.0f;
// Used when the resource cannot be read, so the page still has its shape.
constexpr int kDefaultWidth = 462;
constexpr int kDefaultHeight = 136;

// A 32-bit top-down DIB: per-pixel alpha survives GDI+ drawing and
// UpdateLayeredWindow accepts it whatever the display's colour depth.
HBITMAP CreateSurfaceBitmap(HDC reference, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

}  // namespace

void ILoadingPage::SetLogoFile(const std::wstring& path) {
  if (Gdiplus::Image* image = LoadImageFromFile(path)) SetLogo(image);
}

LoadingPage::LoadingPage(HWND window) : window(window) {
  background = TakePageBackground();
  if (background) {
    width = static_cast<int>(background->GetWidth());
    height = static_cast<int>(background->GetHeight());
  } else {
    Log("LoadingPage: background image could not be loaded");
    width = kDefaultWidth;
    height = kDefaultHeight;
  }

  windowDc = base::WindowDc(window);
  memoryDc.Reset(CreateCompatibleDC(windowDc.Get()));
  memoryBitmap.Reset(CreateSurfaceBitmap(windowDc.Get(), width, height));
  if (memoryDc && memoryBitmap) SelectObject(memoryDc.Get(), memoryBitmap.Get());
  destinationDc = base::WindowDc(window);
}

LoadingPage::~LoadingPage() = default;

void LoadingPage::Redraw() { Paint(0, 0, false); }

void LoadingPage::SetProgress(int64_t done, int64_t total) { Paint(done, total, true); }

void LoadingPage::SetLogo(Gdiplus::Image* image) {
  pendingLogoFile.clear();
  logo.reset(image);
}

void LoadingPage::SetLogoFile(const std::wstring& path) { pendingLogoFile = path; }

void LoadingPage::Paint(int64_t done, int64_t total, bool withProgress) {
  if (!pendingLogoFile.empty()) {
    if (Gdiplus::Image* decoded = LoadImageFromFile(pendingLogoFile)) logo.reset(decoded);
    pendingLogoFile.clear();
  }
  RECT rect{};
  GetWindowRect(window, &rect);
  POINT destination{rect.left, rect.top};
  SIZE size{rect.right - rect.left, rect.bottom - rect.top};

  {
    Gdiplus::Graphics graphics(memoryDc.Get());
    // Cleared first: drawing the half-transparent edges of the artwork over
    // the previous picture would make them more opaque on every repaint, and
    // a shrinking logo would leave its larger outline behind.
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
    if (background) graphics.DrawImage(background.get(), 0, 0, width, height);

    if (logo) {
      logoAngle = page::NextLogoAngle(logoAngle);
      page::LogoPlacement p = page::PlaceLogo(logoAngle, width, static_cast<int>(logo->GetWidth()),
                                              static_cast<int>(logo->GetHeight()));
      graphics.DrawImage(logo.get(), p.x, p.y, p.width, p.height);
    }

    Gdiplus::SolidBrush brush{Gdiplus::Color(kTextColour)};
    Gdiplus::FontFamily family(L"宋体");
    std::unique_ptr<Gdiplus::Font> font;
    if (family.GetLastStatus() == Gdiplus::Ok)
      font.reset(new Gdiplus::Font(&family, kFontPoints, Gdiplus::FontStyleRegular,
                                   Gdiplus::UnitPoint));
    // Systems without the CJK face still show the text in their own sans-serif.
    if (!font || font->GetLastStatus() != Gdiplus::Ok) {
      font.reset(new Gdiplus::Font(Gdiplus::FontFamily::GenericSansSerif(), kFontPoints,
                                   Gdiplus::FontStyleRegular, Gdiplus::UnitPoint));
    }
    if (font)
      graphics.DrawString(statusText.c_str(), static_cast<INT>(statusText.size()), font.get(),
                          Gdiplus::PointF(page::kTextX, page::kTextY), &brush);

    if (withProgress) {
      Gdiplus::Pen track(Gdiplus::Color(kTrackColour), page::kLineWidth);
      graphics.DrawLine(&track, page::kTrackStartX, page::kTrackY, page::kTrackEndX,
                        page::kTrackY);
      Gdiplus::Pen fill(Gdiplus::Color(kFillColour), page::kLineWidth);
      graphics.DrawLine(&fill, page::kTrackStartX, page::kTrackY,
                        page::ProgressFillEndX(done, total), page::kTrackY);
    }
  }

  POINT source{0, 0};
  // A failed update (window not yet sized, say) is retried by the next repaint.
  UpdateLayeredWindow(window, destinationDc.Get(), &destination, &size, memoryDc.Get(), &source, 0,
                      &blend, ULW_ALPHA);
}

Gdiplus::Image* LoadImageFromFile(const std::wstring& path) {
  // The object keeps its decode status instead of failing construction, so a
  // broken download still gives the caller something to hand to SetLogo.
  // The logo may come before the page, which otherwise starts GDI+.
  base::AwaitDesktop();
  StartGdiplusOnce();
  return new Gdiplus::Bitmap(path.c_str());
}
