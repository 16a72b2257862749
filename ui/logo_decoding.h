#pragma once
// The downloaded logo, decoded on a thread of its own. Decoding a picture
// costs the first caller tens of milliseconds under some systems, and the
// workflow need not wait for it: the page takes the picture at its next
// repaint, and an up-to-date start may reach the game before any repaint.
#include <memory>
#include <string>

#include "base/background_value.h"

namespace Gdiplus {
class Image;
}  // namespace Gdiplus

class LogoDecoding {
 public:
  // Begins decoding the image file at `path` (see LoadImageFromFile).
  explicit LogoDecoding(const std::wstring& path);
  ~LogoDecoding();  // waits for the decoding thread
  LogoDecoding(const LogoDecoding&) = delete;
  LogoDecoding& operator=(const LogoDecoding&) = delete;

  // The decoded image, once decoding has ended; null when no image object
  // could be made. Decodes here if the thread could not be started; only the
  // first call gives the image.
  std::unique_ptr<Gdiplus::Image> Take();

 private:
  std::wstring path_;
  base::BackgroundValue<std::unique_ptr<Gdiplus::Image>> image_;
  bool taken_ = false;
};
