#include "ui/logo_decoding.h"

// gdiplus.h needs the COM stream types declared first.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "ui/loading_page.h"

LogoDecoding::LogoDecoding(const std::wstring& path) : path_(path) {
  image_.Start([path] { return std::unique_ptr<Gdiplus::Image>(LoadImageFromFile(path)); });
}

LogoDecoding::~LogoDecoding() = default;

std::unique_ptr<Gdiplus::Image> LogoDecoding::Take() {
  if (taken_) return nullptr;
  taken_ = true;
  return image_.Take([this] { return std::unique_ptr<Gdiplus::Image>(LoadImageFromFile(path_)); });
}
