#include "ui/page_artwork.h"

// gdiplus.h needs the COM stream types declared first.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstring>
#include <mutex>

#include "base/background_value.h"
#include "base/desktop.h"
#include "base/handles.h"
#include "base/log.h"
#include "resource.h"

namespace {

// Reads the embedded PNG and draws it once into a premultiplied 32-bit
// bitmap: decoding is then complete (GDI+ may otherwise read its stream
// lazily, at the first drawing), and every repaint draws the fastest format.
std::unique_ptr<Gdiplus::Bitmap> DecodeBackground() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(IDB_BACKGROUND_PNG), L"PNG");
  if (!info) return nullptr;
  DWORD size = SizeofResource(module, info);
  HGLOBAL resource = LoadResource(module, info);
  const void* bytes = resource ? LockResource(resource) : nullptr;
  if (!bytes || size == 0) return nullptr;

  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return nullptr;
  base::ScopeExit freeCopy([&] { GlobalFree(copy); });
  void* target = GlobalLock(copy);
  if (!target) return nullptr;
  memcpy(target, bytes, size);
  GlobalUnlock(copy);

  base::ComPtr<IStream> stream;
  // The stream frees the block when its last reference goes.
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, stream.Put()))) return nullptr;
  freeCopy.Dismiss();
  std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.Get()));
  if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) return nullptr;
  int width = static_cast<int>(decoded->GetWidth());
  int height = static_cast<int>(decoded->GetHeight());
  auto flat = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
  if (flat->GetLastStatus() != Gdiplus::Ok) return decoded;
  {
    Gdiplus::Graphics graphics(flat.get());
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    if (graphics.DrawImage(decoded.get(), 0, 0, width, height) != Gdiplus::Ok) return decoded;
  }
  return flat;
}

base::BackgroundValue<std::unique_ptr<Gdiplus::Bitmap>>& ThePreparation() {
  static base::BackgroundValue<std::unique_ptr<Gdiplus::Bitmap>> preparation;
  return preparation;
}

}  // namespace

void StartGdiplusOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    static ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback
    Gdiplus::Status status = Gdiplus::GdiplusStartup(&token, &input, nullptr);
    Log("GdiplusStartup: status: %d", static_cast<int>(status));
  });
}

void PreparePageArtwork() {
  ThePreparation().Start([] {
    base::AwaitDesktop();
    StartGdiplusOnce();
    // The image codecs are COM objects.
    base::ComScope com;
    return DecodeBackground();
  });
}

std::unique_ptr<Gdiplus::Bitmap> TakePageBackground() {
  return ThePreparation().Take([] {
    base::AwaitDesktop();
    StartGdiplusOnce();
    return DecodeBackground();
  });
}
