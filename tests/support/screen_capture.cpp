#include "support/screen_capture.h"

#include <objidl.h>  // gdiplus.h needs it under WIN32_LEAN_AND_MEAN
#include <gdiplus.h>

#include "base/fs.h"
#include "base/handles.h"
#include "support/files.h"
#include "support/scratch_folder.h"

namespace support {
namespace {

class GdiplusScope {
 public:
  GdiplusScope() {
    Gdiplus::GdiplusStartupInput input;
    ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusScope() {
    if (ok_) Gdiplus::GdiplusShutdown(token_);
  }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

bool PngEncoder(CLSID* clsid) {
  UINT count = 0;
  UINT size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::vector<BYTE> buffer(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(codecs[i].MimeType) == L"image/png") {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

bool SaveBitmapPng(Gdiplus::Bitmap& bitmap, const std::wstring& path) {
  CLSID png;
  return PngEncoder(&png) && bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace

bool CaptureWindow(HWND window, Capture* capture, int margin) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  int width = rect.right - rect.left + 2 * margin;
  int height = rect.bottom - rect.top + 2 * margin;
  if (width <= 0 || height <= 0) return false;
  base::WindowDc screen(nullptr);
  base::UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  base::UniqueGdiObject bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || !bits) return false;
  {
    base::SelectGuard select(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left - margin, rect.top - margin,
                SRCCOPY | CAPTUREBLT))
      return false;
    GdiFlush();
  }
  capture->width = width;
  capture->height = height;
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  capture->pixels.assign(p, p + static_cast<size_t>(width) * height);
  for (uint32_t& px : capture->pixels) px &= 0x00FFFFFFu;
  return true;
}

bool SavePng(const Capture& capture, const std::wstring& path) {
  GdiplusScope gdiplus;
  Gdiplus::Bitmap bitmap(capture.width, capture.height, PixelFormat32bppRGB);
  for (int y = 0; y < capture.height; ++y)
    for (int x = 0; x < capture.width; ++x)
      bitmap.SetPixel(x, y, Gdiplus::Color(0xFF000000u | capture.At(x, y)));
  return SaveBitmapPng(bitmap, path);
}

std::string MakePng(int width, int height, uint32_t argb) {
  GdiplusScope gdiplus;
  std::wstring path = TempFolder() + L"vorn-tests-picture.png";
  {
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(argb));
    if (!SaveBitmapPng(bitmap, path)) return std::string();
  }
  std::string bytes = ReadFileBytes(path);
  DeleteFileW(path.c_str());
  return bytes;
}

std::wstring ArtifactDir(const std::wstring& sub) {
  // The tests run from <build>/bin.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring bin(exe);
  bin = bin.substr(0, bin.find_last_of(L"\\/"));
  std::wstring dir = bin.substr(0, bin.find_last_of(L"\\/")) + L"\\test-artifacts";
  if (!sub.empty()) dir += L"\\" + sub;
  base::CreateDirectoryTree(dir);
  return dir;
}

}  // namespace support
