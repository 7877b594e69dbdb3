#include "imaging/Bitmap24.h"

#include <gtest/gtest.h>

#include "imaging/ImageKit.h"

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

TEST(Bitmap24, FillColourFillsEveryPixel) {
  TBitmap24 b(3, 2);
  b.Fill(10, 20, 30);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(b.GetPixel(x, y), (Px{10, 20, 30}));
}

TEST(Bitmap24, QuarterTurnsMatchTheImageKit) {
  TBitmap24 b(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      b.SetPixel(x, y, {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 9});
  for (int q : {1, 2, 3, -1, 4}) {
    SCOPED_TRACE(q);
    const TBitmap24 ours = TurnQuarters(b, q);
    const TBitmap24 kit = IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(b), q * 9000));
    ASSERT_EQ(ours.Width(), kit.Width());
    ASSERT_EQ(ours.Height(), kit.Height());
    for (int y = 0; y < ours.Height(); ++y)
      for (int x = 0; x < ours.Width(); ++x)
        EXPECT_EQ(ours.GetPixel(x, y), kit.GetPixel(x, y));
  }
}

}  // namespace
}  // namespace kalvane
