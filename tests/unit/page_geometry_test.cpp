#include "ui/page_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using page::LogoPlacement;

namespace {

// Runs `repaints` animation steps from the page's initial angle of 0.
std::vector<LogoPlacement> Animate(int repaints, int pageWidth, int logoWidth, int logoHeight) {
  std::vector<LogoPlacement> out;
  float angle = 0.0f;
  for (int i = 0; i < repaints; ++i) {
    angle = page::NextLogoAngle(angle);
    out.push_back(page::PlaceLogo(angle, pageWidth, logoWidth, logoHeight));
  }
  return out;
}

}  // namespace

TEST(LogoAnimation, AngleStepsByEightAndHoldsAt110) {
  float angle = 0.0f;
  std::vector<float> seen;
  for (int i = 0; i < 16; ++i) seen.push_back(angle = page::NextLogoAngle(angle));
  std::vector<float> expected{8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 104, 110, 110, 110};
  EXPECT_EQ(seen, expected);
}

TEST(LogoAnimation, FullWidthLogoGrowsOverFourteenRepaintsThenStays) {
  std::vector<LogoPlacement> frames = Animate(20, 462, 462, 136);
  std::vector<int> widths;
  for (const LogoPlacement& p : frames) widths.push_back(p.width);
  std::vector<int> expected{64, 127, 187, 244, 296, 343, 383, 415, 439, 454, 461, 459, 448, 434,
                            434, 434, 434, 434, 434, 434};
  EXPECT_EQ(widths, expected);
  // After the last step nothing moves any more.
  for (size_t i = 14; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].x, frames[13].x);
    EXPECT_EQ(frames[i].y, frames[13].y);
    EXPECT_EQ(frames[i].height, frames[13].height);
  }
}

TEST(LogoAnimation, LogoIsCentredAndShrinksAboutItsMiddleBelowTheTopOffset) {
  // First frame: sin 8 degrees of a 200 x 100 logo.
  LogoPlacement first = page::PlaceLogo(8.0f, 462, 200, 100);
  EXPECT_EQ(first.width, 27);
  EXPECT_EQ(first.height, 13);
  EXPECT_EQ(first.x, (462 - 27) / 2);
  EXPECT_EQ(first.y, (100 - 13) / 2 + 15);

  // Final frame of a full-size logo on the shipped page.
  LogoPlacement last = page::PlaceLogo(110.0f, 462, 462, 136);
  EXPECT_EQ(last.width, 434);
  EXPECT_EQ(last.height, 127);
  EXPECT_EQ(last.x, 14);
  EXPECT_EQ(last.y, 19);
}

TEST(LogoAnimation, ScaleNeverExceedsOneAndLogoWiderThanPageTruncatesTowardZero) {
  for (float angle = 0.0f; angle <= 110.0f; angle += 1.0f) EXPECT_LE(page::LogoScale(angle), 1.0f);
  EXPECT_EQ(page::LogoScale(90.0f), 1.0f);
  EXPECT_EQ(page::LogoScale(0.0f), 0.0f);
  // 599 wide on a 462 page: (462 - 599) / 2 is -68.5, drawn from -68.
  LogoPlacement wide = page::PlaceLogo(88.0f, 462, 600, 10);
  EXPECT_EQ(wide.width, 599);
  EXPECT_EQ(wide.x, -68);
}

TEST(LogoAnimation, EmptyImageGetsAnEmptyRectangle) {
  // A logo file that failed to decode reports a size of 0 x 0.
  LogoPlacement p = page::PlaceLogo(56.0f, 462, 0, 0);
  EXPECT_EQ(p.width, 0);
  EXPECT_EQ(p.height, 0);
  EXPECT_EQ(p.x, 231);
  EXPECT_EQ(p.y, 15);
}

TEST(ProgressFill, EndsOnTheTrackForDoneOfTotal) {
  EXPECT_EQ(page::ProgressFillEndX(0, 1), 50);
  EXPECT_EQ(page::ProgressFillEndX(1, 1), 395);
  EXPECT_EQ(page::ProgressFillEndX(1, 2), 222);
  EXPECT_EQ(page::ProgressFillEndX(1, 3), 165);
  EXPECT_EQ(page::ProgressFillEndX(2, 3), 280);
}

TEST(ProgressFill, SixtyFourBitCountsKeepTheirShare) {
  const int64_t tenGiB = 10LL * 1024 * 1024 * 1024;
  EXPECT_EQ(page::ProgressFillEndX(tenGiB / 2, tenGiB), 222);
  EXPECT_EQ(page::ProgressFillEndX(tenGiB / 4, tenGiB), 136);
  // One byte short of the end rounds up in single precision but stays on the track.
  EXPECT_EQ(page::ProgressFillEndX(tenGiB - 1, tenGiB), 395);
  EXPECT_EQ(page::ProgressFillEndX(1, INT64_MAX), 50);
}

TEST(ProgressFill, FinishedCountFillsTheWholeTrack) {
  // (345 / 41) * 41 is 344.99997 in single precision: a finished download of
  // 41 bytes must still show a full bar.
  for (int64_t total : {41, 43, 71, 82, 86, 1000003}) EXPECT_EQ(page::ProgressFillEndX(total, total), 395) << total;
}

TEST(ProgressFill, OutOfRangeCountsStayOnTheTrack) {
  EXPECT_EQ(page::ProgressFillEndX(5, 0), 50);    // no total yet: nothing to divide by
  EXPECT_EQ(page::ProgressFillEndX(0, 0), 50);
  EXPECT_EQ(page::ProgressFillEndX(5, -3), 50);
  EXPECT_EQ(page::ProgressFillEndX(-5, 10), 50);
  EXPECT_EQ(page::ProgressFillEndX(30, 10), 395);  // more arrived than announced
  EXPECT_EQ(page::ProgressFillEndX(INT64_MAX, 1), 395);
}
