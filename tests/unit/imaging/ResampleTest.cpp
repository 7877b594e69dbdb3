#include "imaging/Resample.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalvane {
namespace {

// A grey row with a dark line three pixels wide from `column` on.
std::vector<std::uint8_t> Line(int width, int column) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3, 200);
  for (int x = column; x < column + 3; ++x)
    for (int c = 0; c < 3; ++c)
      rgb[static_cast<std::size_t>(x) * 3 + c] = 0;
  return rgb;
}

double DarkCentre(const std::vector<std::uint8_t>& rgb, int width) {
  double sum = 0, moment = 0;
  for (int x = 0; x < width; ++x) {
    const double dark = 200 - rgb[static_cast<std::size_t>(x) * 3];
    sum += dark;
    moment += dark * x;
  }
  return moment / sum;
}

TEST(Resample, FlatStaysFlatAtEveryScale) {
  const std::vector<std::uint8_t> grey(60 * 40 * 3, 131);
  for (const double scale : {0.07, 0.3, 0.77, 1.0, 2.5}) {
    SCOPED_TRACE(scale);
    const std::vector<std::uint8_t> out =
        ResampleRgb(grey.data(), 60, 40, {3.25, scale, 10}, {2.5, scale, 7});
    ASSERT_EQ(out.size(), 10u * 7 * 3);
    for (const std::uint8_t v : out)
      EXPECT_EQ(v, 131);
  }
}

TEST(Resample, ALineMovesByItsExactShareOfAPixel) {
  // Reduced 1/7: a line moved one input pixel at a time moves 1/7 of an
  // output pixel each time, not in jumps of whole output pixels (up to the
  // rounding of the output to whole levels).
  const int width = 140;
  const double scale = 1.0 / 7;
  double first = 0;
  for (int k = 0; k < 14; ++k) {
    const std::vector<std::uint8_t> in = Line(width, 60 + k);
    const double centre =
        DarkCentre(ResampleRgb(in.data(), width, 1, {14, scale, 16}, {0, 1, 1}), 16);
    if (k == 0) first = centre;
    EXPECT_NEAR(centre, first + k * scale, 0.08) << k;
  }
  // The edge's fraction counts the same way.
  const std::vector<std::uint8_t> in = Line(width, 60);
  const double moved =
      DarkCentre(ResampleRgb(in.data(), width, 1, {14.35, scale, 16}, {0, 1, 1}), 16);
  EXPECT_NEAR(moved, first - 0.35 * scale, 0.08);
}

}  // namespace
}  // namespace kalvane
