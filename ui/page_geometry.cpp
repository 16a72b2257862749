#include "ui/page_geometry.h"

#include <algorithm>
#include <cmath>

namespace page {

float NextLogoAngle(float angle) {
  if (angle >= kLogoEndAngle) return angle;
  return std::min(angle + kLogoAngleStep, kLogoEndAngle);
}

float LogoScale(float angle) {
  // Single-precision product with this exact factor, sine in double: the
  // animation's pixel sizes (64, 127, ... 434 for 462 pixels) depend on it.
  constexpr float kPi = 3.1415925f;
  float radians = angle / 180.0f * kPi;
  float s = static_cast<float>(std::sin(static_cast<double>(radians)));
  return std::min(1.0f, s);
}

LogoPlacement PlaceLogo(float angle, int pageWidth, int logoWidth, int logoHeight) {
  float s = LogoScale(angle);
  LogoPlacement p;
  p.width = static_cast<int>(static_cast<float>(logoWidth) * s);
  p.height = static_cast<int>(static_cast<float>(logoHeight) * s);
  p.x = (pageWidth - p.width) / 2;
  p.y = (logoHeight - p.height) / 2 + kLogoTopOffset;
  return p;
}

int ProgressFillEndX(int64_t done, int64_t total) {
  constexpr int kTrackLength = kTrackEndX - kTrackStartX;
  // A total of zero or less has no meaningful share (and would divide by
  // zero); a count at or past the total fills the track exactly, rather than
  // letting float rounding stop a finished bar one pixel short or an
  // oversized count draw beyond the track onto the artwork.
  if (total <= 0 || done <= 0) return kTrackStartX;
  if (done >= total) return kTrackEndX;
  float t = (static_cast<float>(kTrackLength) / static_cast<float>(total)) *
            static_cast<float>(done);
  return kTrackStartX + std::min(static_cast<int>(t), kTrackLength);
}

}  // namespace page
