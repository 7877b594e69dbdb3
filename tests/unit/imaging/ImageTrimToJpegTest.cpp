#include "imaging/ImageTrimToJpeg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vips/vips8>

#include "TestImages.h"

namespace kalvane {
namespace {

using Px = TBitmap24::Pixel;
using vips::VImage;

// A 400 x 300 photo in four colours: red top-left, green top-right, blue
// bottom-left, black bottom-right.
std::string Quadrants(const test::TempDir& dir, const std::string& name) {
  VImage x = VImage::xyz(400, 300)[0] >= 200, y = VImage::xyz(400, 300)[1] >= 150;
  VImage r = ((x == 0) & (y == 0)).ifthenelse(255, 0);
  VImage g = ((x != 0) & (y == 0)).ifthenelse(255, 0);
  VImage b = ((x == 0) & (y != 0)).ifthenelse(255, 0);
  const std::string path = dir.File(name);
  VImage::bandjoin(std::vector<VImage>{r, g, b})
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .write_to_file(path.c_str());
  return path;
}

bool Near(Px p, Px want, int tolerance = 40) {
  return std::abs(p.r - want.r) <= tolerance && std::abs(p.g - want.g) <= tolerance &&
         std::abs(p.b - want.b) <= tolerance;
}

TEST(FrameStep, TheTurnedPhotoIsCutWithWhiteOutside) {
  test::TempDir dir;
  for (const char* name : {"q.png", "q.jpg"}) {
    SCOPED_TRACE(name);
    const std::string photo = Quadrants(dir, name);
    // turned a quarter left the photo is 300 x 400: green top-left, black
    // top-right, red bottom-left, blue bottom-right; 20 white columns left
    TFramePlan plan{0, photo, 9000, {-20, 0, 300, 400}, 160, 200, dir.File("0.jpg")};
    std::string error;
    ASSERT_TRUE(test::Ok(TImageTrimToJpeg().MakeFrame(plan)));
    const TBitmap24 frame = IKBitmapFromDib(IKFileLoad(plan.FileName));
    ASSERT_EQ(frame.Width(), 160);
    ASSERT_EQ(frame.Height(), 200);
    EXPECT_TRUE(Near(frame.GetPixel(4, 100), {255, 255, 255})) << "white outside";
    EXPECT_TRUE(Near(frame.GetPixel(50, 20), {0, 255, 0}));
    EXPECT_TRUE(Near(frame.GetPixel(50, 180), {0, 0, 255}));  // B, G, R: red
    EXPECT_TRUE(Near(frame.GetPixel(150, 20), {0, 0, 0}));
    EXPECT_TRUE(Near(frame.GetPixel(150, 180), {255, 0, 0}));  // blue
  }
}

TEST(FrameStep, OneWayOrTheOtherTheSamePicture) {
  // the cut-first path against rotate, cut and scale of the whole photo
  test::TempDir dir;
  test::WriteGradient(dir.File("g.jpg"), 1600, 1200);
  for (int angle : {0, 9000, 18000, -9000}) {
    SCOPED_TRACE(angle);
    const TIKRect rect{100, 50, 900, 650};
    const TBitmap24 fast = IKBitmapFromDib(IKTrimFrame(dir.File("g.jpg"), angle, rect, 200, 150));
    const TBitmap24 slow = IKBitmapFromDib(IKResizeEx(
        IKCutRectImage(IKRotationEx(IKFileLoad(dir.File("g.jpg")), angle), rect), 200, 150));
    ASSERT_EQ(fast.Width(), 200);
    ASSERT_EQ(slow.Height(), 150);
    double total = 0;
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 200; ++x) {
        total += std::abs(fast.GetPixel(x, y).r - slow.GetPixel(x, y).r) +
                 std::abs(fast.GetPixel(x, y).g - slow.GetPixel(x, y).g);
      }
    EXPECT_LT(total / (200 * 150 * 2), 4.0);
  }
}

TEST(FrameStep, TrimToJpegReplacesAnOldFrame) {
  test::TempDir dir;
  const std::string frame = dir.File("12.jpg");
  std::FILE* f = std::fopen(frame.c_str(), "w");
  std::fputs("an old frame", f);
  std::fclose(f);
  TBitmap24 photo(64, 48);
  photo.Fill(0, 0, 255);
  ASSERT_TRUE(test::Ok(
      TImageTrimToJpeg().TrimToJpeg(IKDibFromBitmap(photo), {0, 0, 32, 24}, frame, 20, 15)));
  EXPECT_EQ(IKFileType(frame)->width, 20);
  EXPECT_EQ(IKFileType(frame)->height, 15);
}

TEST(FrameStep, AMissingPhotoFailsWithItsName) {
  test::TempDir dir;
  std::string error;
  TFramePlan plan{3, dir.File("gone.jpg"), 0, {0, 0, 10, 10}, 10, 10, dir.File("3.jpg")};
  EXPECT_TRUE(test::Failed(TImageTrimToJpeg().MakeFrame(plan), &error));
  EXPECT_NE(error.find("gone.jpg"), std::string::npos);
}

// Where a vertical edge crosses mid-grey in a frame, to a fraction of a
// pixel, averaged over the rows.
double EdgeColumn(const TBitmap24& frame) {
  double sum = 0;
  for (int y = 0; y < frame.Height(); ++y) {
    for (int x = 1; x < frame.Width(); ++x) {
      const double a = frame.GetPixel(x - 1, y).g, b = frame.GetPixel(x, y).g;
      if ((a < 128) != (b < 128)) {
        sum += x - 1 + (128 - a) / (b - a);
        break;
      }
    }
  }
  return sum / frame.Height();
}

TEST(TrimFrame, ReducedDecodingKeepsOffsetsExactToAFractionOfAPixel) {
  // A sharp edge in a JPEG large enough to be decoded at 1/8 size; the
  // frame is cut at offsets of 0..7 source pixels, which all fall between
  // the reduced pixels. The edge must move by exactly k times one step.
  test::TempDir dir;
  const std::string photo = dir.File("edge.jpg");
  const VImage x = VImage::xyz(2400, 1600)[0];
  const VImage edge = (x < 1203).ifthenelse(20, 235).cast(VIPS_FORMAT_UCHAR);
  edge.bandjoin(std::vector<VImage>{edge, edge})
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .jpegsave(photo.c_str(), VImage::option()->set("Q", 100));
  for (const int angle : {0, 18000}) {
    SCOPED_TRACE(angle);
    std::vector<double> columns;
    for (int k = 0; k < 8; ++k) {
      const TIKImage frame = IKTrimFrame(photo, angle, {200 - k, 200, 2200 - k, 1400}, 250, 150);
      ASSERT_FALSE(frame.IsEmpty()) << frame.Error();
      columns.push_back(EdgeColumn(IKBitmapFromDib(frame)));
    }
    const double step = 250.0 / 2000.0;  // output pixels per source pixel
    for (int k = 1; k < 8; ++k) {
      const double expected = columns[0] + k * step;  // the rectangle lies in the turned photo
      EXPECT_NEAR(columns[static_cast<std::size_t>(k)], expected, 0.15) << k;
    }
  }
}

}  // namespace
}  // namespace kalvane
