// The page's background decoded ahead on a thread of its own is the same
// picture as one decoded on the spot.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "ui/page_artwork.h"

TEST(PageArtwork, DecodedAheadIsTheSamePictureAsDecodedOnTheSpot) {
  PreparePageArtwork();
  PreparePageArtwork();  // once per process: the second call starts nothing
  std::unique_ptr<Gdiplus::Bitmap> ahead = TakePageBackground();
  std::unique_ptr<Gdiplus::Bitmap> here = TakePageBackground();
  ASSERT_TRUE(ahead && here);
  ASSERT_EQ(ahead->GetWidth(), 462u);
  ASSERT_EQ(ahead->GetHeight(), 136u);
  ASSERT_EQ(here->GetWidth(), ahead->GetWidth());
  ASSERT_EQ(here->GetHeight(), ahead->GetHeight());
  EXPECT_EQ(ahead->GetPixelFormat(), PixelFormat32bppPARGB);
  int differing = 0;
  int transparent = 0;
  for (INT y = 0; y < static_cast<INT>(ahead->GetHeight()); ++y) {
    for (INT x = 0; x < static_cast<INT>(ahead->GetWidth()); ++x) {
      Gdiplus::Color a;
      Gdiplus::Color b;
      ahead->GetPixel(x, y, &a);
      here->GetPixel(x, y, &b);
      if (a.GetValue() != b.GetValue()) ++differing;
      if (a.GetA() == 0) ++transparent;
    }
  }
  EXPECT_EQ(differing, 0);
  // The card's corners stay see-through; the card itself does not.
  EXPECT_GT(transparent, 0);
  EXPECT_LT(transparent, 462 * 136 / 4);
}
