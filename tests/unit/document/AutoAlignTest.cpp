#include "document/AutoAlign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vips/vips8>

#include "TestImages.h"
#include "base/Round.h"
#include "document/LayerManagement.h"

namespace kalvane {
namespace {

// The offsets found given as the document gives them: to the trusted
// items, by id.
void Apply(TLayerManagement& list, const std::vector<TAlignment>& found) {
  for (const TAlignment& a : found) {
    if (a.Trusted) list.FindById(a.Id)->SetFineOffset(a.FineAfter);
  }
}

using vips::VImage;

// Photos of one textured backdrop, each displaced by a known whole number
// of pixels, with an object in the middle that turns (changes) from photo
// to photo, as on a turntable.
class AutoAlignTest : public testing::Test {
 protected:
  static constexpr int kW = 240, kH = 180, kMargin = 30;
  void SetUp() override {
    list.SetWorkBitmap(&work);
    list.SetItemScale(1.0);
    backdrop = VImage::gaussnoise(kW + 2 * kMargin, kH + 2 * kMargin,
                                  VImage::option()->set("sigma", 50.0)->set("mean", 128.0))
                   .gaussblur(1.2)
                   .cast(VIPS_FORMAT_UCHAR);
  }
  // Photo i: the backdrop moved right by dx and down by dy.
  void AddPhoto(int i, int dx, int dy, bool blank = false) {
    VImage photo = backdrop.crop(kMargin - dx, kMargin - dy, kW, kH).copy_memory();
    std::vector<double> ink{static_cast<double>((i * 53) % 255)};
    photo.draw_rect(ink, kW / 2 - 30 + (i * 7) % 20, kH / 2 - 25, 50, 50,
                    VImage::option()->set("fill", true));
    if (blank) photo = VImage::black(kW, kH) + 200;
    const std::string name = "p" + std::to_string(i) + ".png";
    photo.cast(VIPS_FORMAT_UCHAR).pngsave(dir.File(name).c_str());
    list.AddItem(name, dir.File(name));
  }
  test::TempDir dir;
  TBitmap24 work;
  TLayerManagement list;
  VImage backdrop;
};

TEST_F(AutoAlignTest, EveryShiftIsFoundExactlyAndNoErrorBuildsUpOverSeventyTwo) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> shake(-12, 12);
  std::vector<TPoint> shifts;
  for (int i = 0; i < 72; ++i) {
    shifts.push_back(i == 0 ? TPoint{0, 0} : TPoint{shake(random), shake(random)});
    AddPhoto(i, shifts.back().X, shifts.back().Y);
  }
  list.GetItem(0)->SetOffset({2, -1});  // the first item keeps its place
  int steps = 0;
  const std::vector<TAlignment> found = TAutoAlign().Measure(list, [&] { ++steps; });
  ASSERT_EQ(found.size(), 72u);
  EXPECT_EQ(steps, 72);
  for (int i = 0; i < 72; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(found[static_cast<std::size_t>(i)].Trusted);
    EXPECT_EQ(found[static_cast<std::size_t>(i)].After,
              (TPoint{2 - shifts[static_cast<std::size_t>(i)].X,
                      -1 - shifts[static_cast<std::size_t>(i)].Y}));
  }
  Apply(list, found);
  EXPECT_EQ(list.GetItem(71)->GetOffset(), found[71].After);
}

TEST_F(AutoAlignTest, APhotoWithNothingToMeasureKeepsItsOffsetAndIsNamed) {
  AddPhoto(0, 0, 0);
  AddPhoto(1, 5, -3, true);
  AddPhoto(2, -4, 6);
  list.GetItem(1)->SetOffset({9, 9});
  const std::vector<TAlignment> found = TAutoAlign().Measure(list);
  EXPECT_FALSE(found[1].Trusted);
  EXPECT_EQ(found[1].Name, "p1.png");
  EXPECT_LT(found[1].Sharpness, TAutoAlign::kMinConfidence);
  EXPECT_TRUE(found[1].Doubtful);
  Apply(list, found);
  EXPECT_EQ(list.GetItem(1)->GetOffset(), (TPoint{9, 9}));
  EXPECT_EQ(list.GetItem(2)->GetOffset(), (TPoint{4, -6}));
}

TEST_F(AutoAlignTest, TheRegionDecidesWhatIsMeasured) {
  // The left half holds the backdrop moved by (6, 0); the right half a
  // second texture moved by (-8, 4), as a turning object would look.
  const VImage other = backdrop.rot(VIPS_ANGLE_D180);
  auto photo = [&](int i, TPoint left, TPoint right) {
    const VImage l = backdrop.crop(kMargin - left.X, kMargin - left.Y, kW / 2, kH);
    const VImage r = other.crop(kMargin - right.X + kW / 2, kMargin - right.Y, kW / 2, kH);
    const std::string name = "r" + std::to_string(i) + ".png";
    l.join(r, VIPS_DIRECTION_HORIZONTAL).pngsave(dir.File(name).c_str());
    list.AddItem(name, dir.File(name));
  };
  photo(0, {0, 0}, {0, 0});
  photo(1, {6, 0}, {-8, 4});
  TAutoAlign align;
  align.SetRegion({0.0, 0.0, 0.5, 1.0});
  EXPECT_EQ(align.Measure(list)[1].After, (TPoint{-6, 0}));
  align.SetRegion({0.5, 0.0, 1.0, 1.0});
  EXPECT_EQ(align.Measure(list)[1].After, (TPoint{8, -4}));
}

// Photos four times the display copies, moved by fractions of a pixel;
// the display copies alone place them to a work pixel, four photo pixels.
class AutoAlignFine : public testing::Test {
 protected:
  static constexpr int kW = 960, kH = 720;
  static constexpr TPointF kShifts[] = {
      {0, 0}, {3.25, -7.5}, {-10.75, 4.4}, {12.2, 9.9}, {-0.6, 0.3}};
  // The photos saved as `extension`, shown turned by `angle`, at `scale`.
  void MakeSet(const std::string& extension, int angle, double scale = 0.25) {
    list.SetWorkBitmap(&work);
    list.SetItemScale(scale);
    list.SetRotation(angle);
    const VImage texture =
        VImage::gaussnoise(kW / 4 + 40, kH / 4 + 40,
                           VImage::option()->set("sigma", 50.0)->set("mean", 128.0))
            .gaussblur(0.7)
            .resize(4.0, VImage::option()->set("kernel", VIPS_KERNEL_CUBIC));
    for (std::size_t i = 0; i < std::size(kShifts); ++i) {
      // moved right by dx and down by dy, by a bicubic resampling
      const VImage photo =
          texture
              .affine({1, 0, 0, 1},
                      VImage::option()
                          ->set("interpolate", vips::VInterpolate::new_from_name("bicubic"))
                          ->set("idx", kShifts[i].X - 80)
                          ->set("idy", kShifts[i].Y - 80)
                          ->set("oarea", std::vector<int>{0, 0, kW, kH}))
              .cast(VIPS_FORMAT_UCHAR);
      const std::string name = "f" + std::to_string(i) + extension;
      if (extension == ".jpg") {
        photo.jpegsave(dir.File(name).c_str(), VImage::option()->set("Q", 95));
      } else {
        photo.pngsave(dir.File(name).c_str());
      }
      list.AddItem(name, dir.File(name));
    }
    list.GetItem(0)->SetFineOffset({2.5, -1.25});  // the first keeps its place, fraction and all
  }
  // Each photo's shake as the turned canvas sees it, undone.
  static TPointF Expected(std::size_t i, int angle) {
    const TPointF s = kShifts[i];
    const TPointF turned = angle == 9000 ? TPointF{s.Y, -s.X} : s;
    return {2.5 - turned.X, -1.25 - turned.Y};
  }
  void ExpectFound(const std::vector<TAlignment>& found, int angle) {
    ASSERT_EQ(found.size(), std::size(kShifts));
    for (std::size_t i = 1; i < std::size(kShifts); ++i) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(found[i].Refined);
      EXPECT_NEAR(found[i].FineAfter.X, Expected(i, angle).X, 0.1);
      EXPECT_NEAR(found[i].FineAfter.Y, Expected(i, angle).Y, 0.1);
      EXPECT_EQ(found[i].After.X, RoundInt(found[i].FineAfter.X * list.GetItemScale()));
    }
    EXPECT_EQ(found[0].FineAfter, (TPointF{2.5, -1.25}));
  }
  test::TempDir dir;
  TBitmap24 work;
  TLayerManagement list;
};

TEST_F(AutoAlignFine, ShiftsBetweenPhotoPixelsAreFoundOnThePhotos) {
  MakeSet(".png", 0);
  TAutoAlign align;
  const std::vector<TAlignment> found = align.Measure(list);
  ExpectFound(found, 0);
  Apply(list, found);
  EXPECT_EQ(list.GetItem(3)->GetFineOffset(), found[3].FineAfter);
  EXPECT_EQ(list.GetItem(3)->GetOffset(), found[3].After);

  // Without the refinement, to the work pixel only: off by up to two photo pixels
  align.SetRefine(false);
  const std::vector<TAlignment> coarse = align.Measure(list);
  EXPECT_FALSE(coarse[2].Refined);
  EXPECT_EQ(std::fmod(coarse[2].FineAfter.X - 2.5, 4.0), 0.0);
}

// JPEGs are cut from a reduced decode's whole pixels; the fractions those
// leave (a work pixel is 3 1/3 photo pixels here, so they differ from
// photo to photo) are added back, also on a turned canvas.
TEST_F(AutoAlignFine, JpegsCutAtWholeReducedPixelsAreFoundAsPrecisely) {
  MakeSet(".jpg", 0, 0.3);
  ExpectFound(TAutoAlign().Measure(list), 0);
}

TEST_F(AutoAlignFine, JpegsOnAQuarterTurnedCanvasAreFoundAsPrecisely) {
  MakeSet(".jpg", 9000, 0.3);
  ExpectFound(TAutoAlign().Measure(list), 9000);
}

TEST_F(AutoAlignTest, OffsetsAtTheEndsOfTheIntRangeAreHeldAndNothingOverflows) {
  AddPhoto(0, 0, 0);
  AddPhoto(1, 5, -3);
  constexpr std::int32_t kM = TLayerItemObject::kMaxOffset;
  constexpr std::int32_t kMin = INT32_MIN, kMax = INT32_MAX;
  // What a project file may say, for the first item and for another.
  for (const TPoint first : {TPoint{kMin, kMin}, TPoint{kMax, kMax}, TPoint{kMin, kMax}}) {
    list.GetItem(0)->SetOffset(first);
    list.GetItem(1)->SetOffset({kMax, kMin});
    EXPECT_EQ(list.GetItem(0)->GetOffset(),
              (TPoint{first.X < 0 ? -kM : kM, first.Y < 0 ? -kM : kM}));
    EXPECT_EQ(list.GetItem(1)->GetOffset(), (TPoint{kM, -kM}));
    // The region lies far off the first photo: nothing to compare, so
    // nothing moves.
    const std::vector<TAlignment> found = TAutoAlign().Measure(list);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_FALSE(found[1].Trusted);
    Apply(list, found);
    EXPECT_EQ(list.GetItem(1)->GetOffset(), (TPoint{kM, -kM}));
    list.Render();  // and drawing them stays within the canvas
  }
  // Within the range, the measurement still finds the shift.
  list.GetItem(0)->SetOffset({0, 0});
  EXPECT_EQ(TAutoAlign().Measure(list)[1].After, (TPoint{-5, 3}));
}

}  // namespace
}  // namespace kalvane
