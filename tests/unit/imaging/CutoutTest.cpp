// Cut-outs against rendered truth (tests/data/cutouts, made by
// tools/samples/render-cutouts): how well the masks cover the product, how
// little their edge moves between frames, and the neighbours' prior.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>
#include <vips/vips8>

#include "imaging/CutoutEdge.h"
#include "imaging/CutoutMask.h"
#include "imaging/PhotoLoad.h"

namespace kalvane {
namespace {

const std::string kRenders = KALVANE_TEST_DATA_DIR "/cutouts/";

std::vector<std::uint8_t> Truth(const std::string& name) {
  const vips::VImage t = vips::VImage::new_from_file((kRenders + name + "-truth.png").c_str());
  std::size_t n = 0;
  auto* data = static_cast<std::uint8_t*>(t.extract_band(0).write_to_memory(&n));
  std::vector<std::uint8_t> out(data, data + n);
  g_free(data);
  for (std::uint8_t& v : out)
    v = v >= 128;
  return out;
}

// A spin's photos cut out as a run does: every mask, then each with its
// neighbours'; the product where the alpha is at least a half.
std::vector<std::vector<std::uint8_t>> CutSpin(const std::string& kind, int frames) {
  std::vector<TRgbImage> photos(static_cast<std::size_t>(frames));
  std::vector<TCutoutMask> masks(photos.size());
  for (int i = 0; i < frames; ++i) {
    const std::string name = kind + "_0" + std::to_string(i) + ".jpg";
    EXPECT_TRUE(LoadPhoto(kRenders + name, 0, photos[static_cast<std::size_t>(i)], nullptr).Ok());
    masks[static_cast<std::size_t>(i)] =
        FindProduct(CutoutWorkCopy(photos[static_cast<std::size_t>(i)]), nullptr);
  }
  std::vector<std::vector<std::uint8_t>> found;
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const TCutoutMask mask = WithNeighbours(masks[i], i > 0 ? &masks[i - 1] : nullptr,
                                            i + 1 < masks.size() ? &masks[i + 1] : nullptr);
    TRgbImage cut = photos[i];
    CutOut(cut, CutoutWorkCopy(cut, mask.Width, mask.Height), mask);
    std::vector<std::uint8_t> product(cut.Alpha.size());
    for (std::size_t k = 0; k < product.size(); ++k)
      product[k] = cut.Alpha[k] >= 32768;
    found.push_back(std::move(product));
  }
  return found;
}

double Iou(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::size_t both = 0, either = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    both += a[i] && b[i];
    either += a[i] || b[i];
  }
  return either ? double(both) / either : 1.0;
}

std::size_t Changed(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    n += a[i] != b[i];
  return n;
}

class CutoutOnRenders : public testing::TestWithParam<const char*> {};

// A dark bottle (its shadow on the floor beside it) and a ring on a stand
// (the backdrop showing through it), four frames 12 degrees apart.
TEST_P(CutoutOnRenders, MasksMatchTheTruthAndMoveOnlyAsTheProductDoes) {
  const std::string kind = GetParam();
  constexpr int kFrames = 4;
  const std::vector<std::vector<std::uint8_t>> found = CutSpin(kind, kFrames);
  std::vector<std::vector<std::uint8_t>> truth;
  double sum = 0, worst = 1;
  for (int i = 0; i < kFrames; ++i) {
    truth.push_back(Truth(kind + "_0" + std::to_string(i)));
    const double iou = Iou(truth.back(), found[static_cast<std::size_t>(i)]);
    sum += iou;
    worst = std::min(worst, iou);
  }
  EXPECT_GE(sum / kFrames, 0.97) << kind;
  EXPECT_GE(worst, 0.96) << kind;
  // Between neighbouring frames the mask changes no more than the product
  // does, give or take a pixel along the product's edge.
  for (int i = 1; i < kFrames; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const std::size_t moved = Changed(truth[k - 1], truth[k]);
    EXPECT_LE(Changed(found[k - 1], found[k]), moved + 400) << kind << " frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CutoutOnRenders, testing::Values("dark", "ring"));

TEST(CutoutMask, NeighboursSettleOnlyAnUnsureEdge) {
  // Own: a 20 x 20 square, unsure everywhere; both neighbours have it a
  // pixel wider to the right, and agree on a thin bar inside it missing.
  TCutoutMask own{40, 40, std::vector<std::uint8_t>(1600, TCutoutMask::kUnsure)};
  TCutoutMask wider = own;
  for (int y = 10; y < 30; ++y) {
    for (int x = 10; x < 31; ++x) {
      const auto i = static_cast<std::size_t>(y * 40 + x);
      if (x < 30) own.Labels[i] |= TCutoutMask::kProduct;
      if (x != 20) wider.Labels[i] |= TCutoutMask::kProduct;
    }
  }
  const TCutoutMask settled = WithNeighbours(own, &wider, &wider);
  EXPECT_TRUE(settled.Product(30, 15));   // the edge moved out with them
  EXPECT_TRUE(settled.Product(20, 15));   // deep inside: the frame's own
  EXPECT_FALSE(settled.Product(35, 15));  // far off the edge: untouched
  // A label the frame was sure of stays; one neighbour alone is no prior.
  TCutoutMask sure = own;
  for (std::uint8_t& l : sure.Labels)
    l &= TCutoutMask::kProduct;
  EXPECT_FALSE(WithNeighbours(sure, &wider, &wider).Product(30, 15));
  EXPECT_FALSE(WithNeighbours(own, &wider, nullptr).Product(30, 15));
}

TEST(CutoutEdge, ShadowIsUnderTheFootOfEveryFrame) {
  TCutoutMask a{100, 80, std::vector<std::uint8_t>(8000, 0)};
  TCutoutMask b = a;
  for (int y = 20; y < 60; ++y)
    for (int x = 40; x < 60; ++x)
      a.Labels[static_cast<std::size_t>(y * 100 + x)] = TCutoutMask::kProduct;
  for (int y = 30; y < 62; ++y)
    for (int x = 35; x < 61; ++x)
      b.Labels[static_cast<std::size_t>(y * 100 + x)] = TCutoutMask::kProduct;
  const TContactShadow shadow = PlanContactShadow({&a, &b});
  ASSERT_FALSE(shadow.Empty());
  // Under the middle of the feet, as wide as the widest, at the median foot.
  EXPECT_NEAR(shadow.X, 0.49, 0.02);
  EXPECT_NEAR(shadow.RadiusX, 0.6 * 0.26, 0.01);
  EXPECT_NEAR(shadow.Y, 62.0 / 80, 0.02);
  EXPECT_TRUE(PlanContactShadow({}).Empty());

  // Laid under a cut-out: dark below the foot, nothing far away, the
  // product's own alpha kept.
  TRgbImage photo;
  photo.Width = 100;
  photo.Height = 80;
  photo.Pixels.assign(100 * 80 * 3, 0);
  photo.Alpha.assign(100 * 80, 0);
  photo.Alpha[40 * 100 + 50] = 65535;
  AddContactShadow(photo, shadow);
  const auto at = [&](int x, int y) { return photo.Alpha[static_cast<std::size_t>(y * 100 + x)]; };
  EXPECT_GT(at(49, 62), 0.3 * 65535);
  EXPECT_EQ(at(5, 5), 0);
  EXPECT_EQ(at(50, 40), 65535);
}

}  // namespace
}  // namespace kalvane
