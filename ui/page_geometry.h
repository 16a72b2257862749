#pragma once
// Where the splash page draws its moving parts: the logo's pop-in animation
// and the progress fill. Pure arithmetic, so it is tested without a window.
#include <cstdint>

namespace page {

// Fixed layout of the 462 x 136 splash, in page pixels from the top left.
constexpr int kTextX = 60;
constexpr int kTextY = 85;
constexpr int kTrackStartX = 50;
constexpr int kTrackEndX = 395;
constexpr int kTrackY = 106;
constexpr float kLineWidth = 6.0f;

// The logo grows by one step per repaint until it reaches the end angle.
constexpr float kLogoAngleStep = 8.0f;
constexpr float kLogoEndAngle = 110.0f;
constexpr int kLogoTopOffset = 15;

struct LogoPlacement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The angle after one more repaint: +8 degrees, held at 110.
float NextLogoAngle(float angle);

// Size factor of the logo at `angle` degrees: min(1, sin(angle)).
float LogoScale(float angle);

// The logo's rectangle at `angle` for a logo of logoWidth x logoHeight on a
// page `pageWidth` wide: centred horizontally; vertically it shrinks about the
// middle of its full-size box, which starts 15 pixels below the page's top.
LogoPlacement PlaceLogo(float angle, int pageWidth, int logoWidth, int logoHeight);

// The x where the progress fill ends for `done` of `total`; the fill starts at
// kTrackStartX and never leaves the track.
int ProgressFillEndX(int64_t done, int64_t total);

}  // namespace page
