#include "document/BandManagement.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalvane {
namespace {

TEST(TrimBox, StartsAsTheDefaultBox) {
  EXPECT_EQ(TBandManagement().GetRelBox(), kDefaultRelBox);
}

TEST(TrimBox, ValuesFromAFileAreClampedAndOrdered) {
  TBandManagement box;
  box.SetRelBox({0.9, 0.8, 0.1, 0.2});
  EXPECT_EQ(box.GetRelBox(), (TRelBox{0.1, 0.2, 0.9, 0.8}));
  box.SetRelBox({-0.5, 0.2, 7.0, NAN});
  const TRelBox r = box.GetRelBox();
  EXPECT_EQ(r.p1x, 0.0);
  EXPECT_EQ(r.p2x, 1.0);
  EXPECT_EQ(r.p1y, 0.2);
  EXPECT_EQ(r.p2y, 0.95);  // not a number: the default's
}

}  // namespace
}  // namespace kalvane
