#pragma once
// The splash page: background, logo animation, status text and progress bar,
// drawn off-screen and handed to the layered main window on every repaint.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/handles.h"

namespace Gdiplus {
class Image;
class Bitmap;
}  // namespace Gdiplus

class ILoadingPage {
 public:
  virtual void Reserved(int, int) {}
  virtual void Redraw() = 0;                               // repaint without progress bar
  virtual void SetProgress(int64_t done, int64_t total) = 0;  // repaint with progress bar
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;  // shown at the next repaint
  virtual void SetLogo(Gdiplus::Image* logo) = 0;           // the page takes ownership
  virtual ~ILoadingPage() = default;
  // The logo as an image file; this page decodes it here and sets it.
  virtual void SetLogoFile(const std::wstring& path);
};

class LoadingPage : public ILoadingPage {
 public:
  // `window` exists and already has WS_EX_LAYERED; the background comes from
  // the executable's own PNG resource.
  explicit LoadingPage(HWND window);
  ~LoadingPage() override;
  LoadingPage(const LoadingPage&) = delete;
  LoadingPage& operator=(const LoadingPage&) = delete;

  void Redraw() override;
  void SetProgress(int64_t done, int64_t total) override;
  int GetWidth() override { return width; }
  int GetHeight() override { return height; }
  void SetStatusText(const std::wstring& text) override { statusText = text; }
  void SetLogo(Gdiplus::Image* logo) override;
  // Decoded at the next repaint: decoding costs tens of milliseconds under
  // some systems, and an up-to-date start may reach the game before any
  // repaint.
  void SetLogoFile(const std::wstring& path) override;

 private:
  void Paint(int64_t done, int64_t total, bool withProgress);

  HWND window;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  // Declared before the surface so the surface is deleted first and the
  // bitmap is no longer selected anywhere when it goes.
  base::UniqueGdiObject memoryBitmap;
  base::WindowDc windowDc;
  base::UniqueMemoryDc memoryDc;
  base::WindowDc destinationDc;
  std::unique_ptr<Gdiplus::Bitmap> background;
  std::unique_ptr<Gdiplus::Image> logo;
  std::wstring pendingLogoFile;  // decoded at the next repaint
  int width = 0;
  int height = 0;
  float logoAngle = 0.0f;
  std::wstring statusText = L"正在加载资源...";
};

// Decodes an image file for SetLogo. A missing or broken file still gives an
// object (one that draws nothing); null only when no object could be made.
Gdiplus::Image* LoadImageFromFile(const std::wstring& path);
