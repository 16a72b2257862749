#pragma once
// The splash page: background, logo animation, status text and progress bar,
// drawn off-screen and handed to the layered main window on every repaint.
#include <windows.h>

#include <cstdint>
#include <string>

namespace Gdiplus {
class Image;
}

class ILoadingPage {
 public:
  virtual void Reserved(int, int) {}
  virtual void Redraw() = 0;                               // repaint without progress bar
  virtual void SetProgress(int64_t done, int64_t total) = 0;  // repaint with progress bar
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;  // shown at the next repaint
  virtual void SetLogo(Gdiplus::Image* logo) = 0;           // the page keeps the image
  virtual ~ILoadingPage() = default;
};

class LoadingPage : public ILoadingPage {
 public:
  explicit LoadingPage(HWND window);
  ~LoadingPage() override;

  void Redraw() override;
  void SetProgress(int64_t done, int64_t total) override;
  int GetWidth() override { return width; }
  int GetHeight() override { return height; }
  void SetStatusText(const std::wstring& text) override { statusText = text; }
  void SetLogo(Gdiplus::Image* logo) override;

 private:
  HWND window;
  int width = 462;
  int height = 136;
  std::wstring statusText = L"正在加载资源...";
};

// Decodes an image file for SetLogo; null only when no image object could be made.
Gdiplus::Image* LoadImageFromFile(const std::wstring& path);
