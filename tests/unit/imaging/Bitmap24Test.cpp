#include "imaging/Bitmap24.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

using Px = TBitmap24::Pixel;

TEST(Bitmap24, RowsArePaddedToFourBytes) {
  EXPECT_EQ(TBitmap24(1, 1).Stride(), 4u);
  EXPECT_EQ(TBitmap24(4, 1).Stride(), 12u);
  EXPECT_EQ(TBitmap24(5, 1).Stride(), 16u);
  TBitmap24 b(2, 2);
  b.SetSize(-3, 7);
  EXPECT_TRUE(b.IsEmpty());
}

TEST(Bitmap24, DrawClipsAtEveryEdge) {
  TBitmap24 source(3, 3);
  source.Fill(1, 2, 3);
  TBitmap24 target(4, 4);
  target.FillWhite();
  target.Draw(source, -2, 2);  // only source column 2, rows 0..1 land
  EXPECT_EQ(target.GetPixel(0, 2), (Px{1, 2, 3}));
  EXPECT_EQ(target.GetPixel(0, 3), (Px{1, 2, 3}));
  EXPECT_EQ(target.GetPixel(1, 2), (Px{255, 255, 255}));
  EXPECT_EQ(target.GetPixel(0, 1), (Px{255, 255, 255}));
  target.Draw(source, 2000000000, -2000000000);  // far away: nothing, no overflow
  target.Draw(source, 3, 3);
  EXPECT_EQ(target.GetPixel(3, 3), (Px{1, 2, 3}));
  EXPECT_EQ(target.GetPixel(2, 3), (Px{255, 255, 255}));
}

TEST(Bitmap24, FillColourFillsEveryPixelButNotThePadding) {
  TBitmap24 b(3, 2);
  b.Fill(10, 20, 30);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(b.GetPixel(x, y), (Px{10, 20, 30}));
}

}  // namespace
}  // namespace kalvane
