// The white background on shots like a studio's: a light grey sweep that
// darkens towards the top, a cream product with a silver cap, a soft shadow
// under it, grain; and on the sample renders of the mug.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vips/vips8>

#include "TestImages.h"
#include "imaging/BackdropClean.h"
#include "imaging/PhotoLoad.h"

namespace kalvane {
namespace {

using vips::VImage;

struct TShot {
  int Width = 1600, Height = 1200;
  double Grain = 0;            // noise, in levels of 255, with dark specks
  bool ProductAtEdge = false;  // a cream box standing in from the bottom edge
};

// Levels of 255: the sweep 180 at the top to 235 at the bottom, darker at
// the sides; the body cream (236, 224, 192) shaded as a cylinder; the cap
// metal, dark at its sides and bright in the middle, its rims bevelled.
TRgbImage Shot(const TShot& s) {
  const VImage xy = VImage::xyz(s.Width, s.Height).cast(VIPS_FORMAT_FLOAT);
  const VImage x = xy[0] / s.Width, y = xy[1] / s.Height, dx = x - 0.5;
  VImage level = 180 + 55 * (1 - (1 - y) * (1 - y)) - 48 * dx * dx;
  const VImage sx = dx / 0.2, sy = (y - 0.8) / 0.035;
  level = level * (1 - 0.35 * (-(sx * sx + sy * sy)).exp());
  VImage out = VImage::bandjoin({level, level - 1, level - 4});
  const auto blend = [&](const VImage& mask, const VImage& colour) {
    const VImage m = mask.gaussblur(1.0) / 255;
    out = out * (1 - m) + colour * m;
  };
  const VImage bx = dx / 0.15, by = (y - 0.55) / 0.25, shade = 0.94 + 0.08 * (1 - bx * bx);
  blend(bx * bx + by * by < 1, VImage::bandjoin({shade * 236, shade * 224, shade * 192}));
  const VImage t = dx / 0.12 * 90;  // degrees
  const VImage rim = ((y - 0.285).abs() > 0.029).ifthenelse(0.7, 1.0);
  const VImage metal = (110 + 140 * t.cos() * t.cos()) * rim;
  blend((dx.abs() < 0.12) & ((y - 0.285).abs() < 0.035),
        VImage::bandjoin({metal, metal, metal + 3}));
  if (s.ProductAtEdge) {
    const VImage ex = (x - 0.82) / 0.1, ey = (y - 1.0) / 0.15;
    blend(ex * ex + ey * ey < 1, out.new_from_image({240.0, 220.0, 170.0}));
  }
  if (s.Grain > 0) {
    const auto noise = [&] {
      return VImage::gaussnoise(s.Width, s.Height, VImage::option()->set("sigma", s.Grain)) - 128;
    };
    out = out + VImage::bandjoin({noise(), noise(), noise()});
    const VImage specks =
        VImage::gaussnoise(s.Width, s.Height, VImage::option()->set("sigma", 1.0)) > 131.3;
    out = specks.ifthenelse(160, out);
  }
  out = (out * 257 + 0.5).cast(VIPS_FORMAT_USHORT);
  TRgbImage image;
  image.Width = s.Width;
  image.Height = s.Height;
  image.Pixels.resize(static_cast<std::size_t>(s.Width) * s.Height * 3);
  std::size_t bytes = 0;
  std::unique_ptr<void, decltype(&g_free)> data(out.write_to_memory(&bytes), g_free);
  std::memcpy(image.Pixels.data(), data.get(), image.Pixels.size() * 2);
  return image;
}

enum class TPart { Product, Backdrop, Between };

// The product well inside its outline, the backdrop well away from it and
// its shadow, and what lies between.
TPart PartAt(const TRgbImage& image, int px, int py) {
  const double x = (px + 0.5) / image.Width - 0.5, y = (py + 0.5) / image.Height;
  const auto body = [&](double grow) {
    const double bx = x / (0.15 + grow), by = (y - 0.55) / (0.25 + grow);
    return bx * bx + by * by < 1;
  };
  const auto cap = [&](double grow) {
    return std::abs(x) < 0.12 + grow && std::abs(y - 0.285) < 0.035 + grow;
  };
  if (body(-0.01) || cap(-0.006)) return TPart::Product;
  if (body(0.02) || cap(0.02) || std::abs(y - 0.8) < 0.08) return TPart::Between;
  return TPart::Backdrop;
}

struct TCount {
  int Pixels = 0, Changed = 0, White = 0;
  std::uint16_t Darkest = 65535;
};

// Over the rows from `top` to `bottom` (fractions), of one part.
TCount Count(const TRgbImage& before, const TRgbImage& after, TPart part, double top = 0,
             double bottom = 1) {
  TCount n;
  for (int y = static_cast<int>(top * after.Height); y < static_cast<int>(bottom * after.Height);
       ++y) {
    for (int x = 0; x < after.Width; ++x) {
      if (PartAt(after, x, y) != part) continue;
      const std::uint16_t* a = after.Row(y) + 3 * x;
      const std::uint16_t* b = before.Row(y) + 3 * x;
      ++n.Pixels;
      n.Changed += a[0] != b[0] || a[1] != b[1] || a[2] != b[2];
      const std::uint16_t least = std::min({a[0], a[1], a[2]});
      n.White += least >= 250 * 257;
      n.Darkest = std::min(n.Darkest, least);
    }
  }
  return n;
}

TEST(BackdropClean, ALightProductKeepsItsColoursAndTheWholeSweepTurnsWhite) {
  const TRgbImage shot = Shot({});
  // The product is as light as the backdrop: a key by colour alone takes it.
  for (const double threshold : {0.04, 0.12, 0.25}) {
    SCOPED_TRACE(threshold);
    TRgbImage cleaned = shot;
    const TCleanReport report = CleanBackdrop(cleaned, {threshold, 0.08, true});
    const TCount product = Count(shot, cleaned, TPart::Product);
    EXPECT_GT(product.Pixels, 150000);
    EXPECT_EQ(product.Changed, 0);
    // All of the sweep, its top 55 levels darker than its bottom.
    const TCount backdrop = Count(shot, cleaned, TPart::Backdrop);
    EXPECT_EQ(backdrop.White, backdrop.Pixels);
    EXPECT_FALSE(report.ProductLostColour());
    EXPECT_GT(report.Whitened, 0.6);
  }
}

TEST(BackdropClean, AGrainyTwelveMegapixelShotIsWhiteToTheTopWithoutSpecks) {
  const TRgbImage shot = Shot({4000, 3000, 6});
  for (const double threshold : {0.05, 0.12}) {
    SCOPED_TRACE(threshold);
    TRgbImage cleaned = shot;
    CleanBackdrop(cleaned, {threshold, 0.08, true});
    const TCount top = Count(shot, cleaned, TPart::Backdrop, 0, 0.05);
    EXPECT_GT(top.White, top.Pixels * 0.999);
    EXPECT_GE(top.Darkest, 240 * 257);
    EXPECT_EQ(Count(shot, cleaned, TPart::Product).Changed, 0);
  }
}

TEST(BackdropClean, TheShadowIsKeptUnlessTaken) {
  const TRgbImage shot = Shot({1200, 900});
  const int sx = 720, sy = 720;  // beside the body, in the shadow's core
  ASSERT_LT(shot.Row(sy)[3 * sx], 190 * 257);
  TRgbImage kept = shot, taken = shot;
  CleanBackdrop(kept, {0.12, 0.08, true});
  CleanBackdrop(taken, {0.12, 0.08, false});
  EXPECT_EQ(kept.Row(sy)[3 * sx], shot.Row(sy)[3 * sx]);
  EXPECT_GE(taken.Row(sy)[3 * sx], 250 * 257);
  EXPECT_EQ(Count(shot, taken, TPart::Product).Changed, 0);
}

TEST(BackdropClean, ColourTakenFromAProductIsToldOf) {
  // A cream box reaching the bottom edge is reached from the border: within
  // a wide threshold of the backdrop, it goes white, and that is said.
  const TRgbImage shot = Shot({1200, 900, 0, true});
  TRgbImage wide = shot, usual = shot;
  const TCleanReport taken = CleanBackdrop(wide, {0.25, 0.08, true});
  EXPECT_TRUE(taken.ProductLostColour()) << taken.LostColour << " of " << taken.OwnColour;
  EXPECT_GE(wide.Row(880)[3 * 984 + 2], 250 * 257);
  const TCleanReport kept = CleanBackdrop(usual, {0.12, 0.08, true});
  EXPECT_FALSE(kept.ProductLostColour()) << kept.LostColour << " of " << kept.OwnColour;
  EXPECT_EQ(usual.Row(880)[3 * 984 + 2], shot.Row(880)[3 * 984 + 2]);
}

TEST(BackdropClean, TheSampleMugKeepsItsBodyAndHandle) {
  TRgbImage photo;
  ASSERT_TRUE(
      test::Ok(LoadPhoto(test::SamplesDir() + "/turntable/turntable_00.jpg", 0, photo, nullptr)));
  TRgbImage cleaned = photo;
  const TCleanReport report = CleanBackdrop(cleaned, {});
  EXPECT_FALSE(report.ProductLostColour());
  // The light grey where the sweep bends, and the floor beside the turntable.
  for (const auto& [x, y] : {std::pair{100, 450}, {40, 700}}) {
    EXPECT_LT(photo.Row(y)[3 * x], 250 * 257) << x << "," << y;
    EXPECT_EQ(cleaned.Row(y)[3 * x], 65535) << x << "," << y;
  }
  // The body (light grey, lighter than the threshold from the backdrop in
  // its highlights), its band, the handle and the turntable stay as shot.
  int changed = 0, pixels = 0;
  for (int y = 340; y < 900; ++y) {
    for (int x = 560; x < 1040; ++x, ++pixels)
      changed += std::memcmp(cleaned.Row(y) + 3 * x, photo.Row(y) + 3 * x, 6) != 0;
  }
  EXPECT_LT(changed, pixels / 1000);
  for (const auto& [x, y] : {std::pair{1180, 520}, {800, 1100}, {1400, 800}})
    EXPECT_EQ(std::memcmp(cleaned.Row(y) + 3 * x, photo.Row(y) + 3 * x, 6), 0) << x << "," << y;
}

}  // namespace
}  // namespace kalvane
