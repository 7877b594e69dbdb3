#include "imaging/ImageTrimToJpeg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
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

// A grey photo with a dark, slightly soft line across it each way: column
// `x` and row `y`, six pixels wide.
std::string CrossedLines(const test::TempDir& dir, int width, int height, int x, int y) {
  const VImage xy = VImage::xyz(width, height);
  const VImage lines = ((xy[0] >= x) & (xy[0] < x + 6)) | ((xy[1] >= y) & (xy[1] < y + 6));
  const VImage soft = lines.ifthenelse(195.0, 0.0)
                          .gaussblur(1.5, VImage::option()->set("precision", VIPS_PRECISION_FLOAT));
  const VImage grey = (235 - soft).cast(VIPS_FORMAT_UCHAR);
  const std::string path = dir.File("lines.jpg");
  VImage::bandjoin(std::vector<VImage>{grey, grey, grey})
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .jpegsave(path.c_str(), VImage::option()->set("Q", 100));
  return path;
}

// Where the frame's dark vertical line lies, to a fraction of a pixel: the
// centre of its darkness against the grey around it, over the rows
// [top, bottom).
double LineColumn(const TBitmap24& frame, int top, int bottom) {
  double sum = 0, moment = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < frame.Width(); ++x) {
      const double dark = 235 - frame.GetPixel(x, y).g;
      sum += dark;
      moment += dark * x;
    }
  }
  return moment / sum;
}

double LineRow(const TBitmap24& frame, int left, int right) {
  double sum = 0, moment = 0;
  for (int x = left; x < right; ++x) {
    for (int y = 0; y < frame.Height(); ++y) {
      const double dark = 235 - frame.GetPixel(x, y).g;
      sum += dark;
      moment += dark * y;
    }
  }
  return moment / sum;
}

TEST(TrimFrame, ACutBetweenPixelsMovesTheFrameByTheFraction) {
  // Quarter steps of a source pixel, at 1:1 so they show in full: by the
  // reduced-decode path and, turned by a degree, by the general one.
  test::TempDir dir;
  const std::string photo = CrossedLines(dir, 400, 300, 200, 150);
  for (const int angle : {0, 18000, 100}) {
    SCOPED_TRACE(angle);
    double column0 = 0, row0 = 0;
    for (int k = 0; k < 5; ++k) {
      const double shift = 0.25 * k;
      const TIKImage frame = IKTrimFrameFine(
          photo, angle, {100 - shift, 60 + shift, 300 - shift, 240 + shift}, 200, 180);
      ASSERT_FALSE(frame.IsEmpty()) << frame.Error();
      const TBitmap24 bitmap = IKBitmapFromDib(frame);
      const double column = LineColumn(bitmap, 0, 50), row = LineRow(bitmap, 0, 60);
      if (k == 0) {
        column0 = column;
        row0 = row;
      }
      EXPECT_NEAR(column - column0, shift, 0.03) << k;
      EXPECT_NEAR(row - row0, -shift, 0.03) << k;
    }
  }
}

TEST(TrimFrame, ALineMovesByExactlyItsOffsetAtEveryReductionAndTurn) {
  // Copies of a photo offset by (k, k) source pixels: in the frames the
  // line must move by k times the scale. A 25x reduction (decoded at 1/8,
  // then about a third) and a 6x one (1/4, then two thirds), each way up.
  test::TempDir dir;
  const std::string photo = CrossedLines(dir, 2400, 1800, 1200, 900);
  for (const int angle : {0, 9000}) {
    const bool upright = angle == 0;
    const int w = upright ? 2400 : 1800, h = upright ? 1800 : 2400;
    for (const int width : {w / 25, w / 6}) {
      SCOPED_TRACE(testing::Message() << "angle " << angle << ", width " << width);
      const int height = width * (h - 300) / (w - 300);
      const double scale = static_cast<double>(width) / (w - 300);
      // away from the other line
      const int rows = height / 3, columns = width / 3;
      double column0 = 0, row0 = 0;
      for (int k = 0; k < 8; ++k) {
        const TIKImage frame =
            IKTrimFrame(photo, angle, {150 + k, 150 + k, w - 150 + k, h - 150 + k}, width, height);
        ASSERT_FALSE(frame.IsEmpty()) << frame.Error();
        const TBitmap24 bitmap = IKBitmapFromDib(frame);
        const double column = LineColumn(bitmap, 0, rows), row = LineRow(bitmap, 0, columns);
        if (k == 0) {
          column0 = column;
          row0 = row;
          continue;
        }
        EXPECT_NEAR(column, column0 - k * scale, 0.15) << "k " << k;
        EXPECT_NEAR(row, row0 - k * scale, 0.15) << "k " << k;
      }
    }
  }
}

TEST(TrimFrame, DamageBelowTheCutStillWarnsAtEveryQuarterTurn) {
  // Bytes lost in the middle of the scan data: the decoder finds the data
  // short only at its very end ("premature end of data segment"), far
  // below a cut from the top of the photo.
  test::TempDir dir;
  const std::string clean = dir.File("clean.jpg"), damaged = dir.File("damaged.jpg");
  const VImage noise = VImage::gaussnoise(1600, 1200, VImage::option()->set("sigma", 30.0));
  VImage::bandjoin(std::vector<VImage>{noise, noise, noise})
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .jpegsave(clean.c_str(), VImage::option()->set("Q", 90));
  std::string bytes = test::ReadText(clean);
  bytes.erase(bytes.size() / 2, 1000);
  std::ofstream(damaged, std::ios::binary) << bytes;
  for (const int angle : {0, 9000, 18000, 27000}) {
    for (const int width : {100, 500}) {
      SCOPED_TRACE(testing::Message() << "angle " << angle << ", width " << width);
      const TIKRect top{0, 0, 600, 400};  // in the turned photo
      const TIKImage good = IKTrimFrame(clean, angle, top, width, width * 2 / 3);
      EXPECT_TRUE(good.Warning().empty()) << good.Warning();
      const TIKImage bad = IKTrimFrame(damaged, angle, top, width, width * 2 / 3);
      ASSERT_FALSE(bad.IsEmpty()) << bad.Error();
      EXPECT_NE(bad.Warning().find(damaged), std::string::npos) << "no warning";
    }
  }
}

// The spread of the green values inside the frame (a frame of uniform grey
// has none).
double Spread(const TIKImage& image) {
  const TBitmap24 frame = IKBitmapFromDib(image);
  double sum = 0, squares = 0;
  int n = 0;
  for (int y = 2; y < frame.Height() - 2; ++y) {
    for (int x = 2; x < frame.Width() - 2; ++x, ++n) {
      const double v = frame.GetPixel(x, y).g;
      sum += v;
      squares += v * v;
    }
  }
  const double mean = sum / n;
  return std::sqrt(squares / n - mean * mean);
}

TEST(TrimFrame, FineLinesReducedFarDoNotTurnIntoMoire) {
  // One-pixel lines every five pixels both ways, made 25 times smaller:
  // the frame should be nearly flat grey, as a filtered reduction of the
  // whole photo gives it, not beat into stripes.
  test::TempDir dir;
  const std::string photo = dir.File("fine.jpg");
  const VImage xy = VImage::xyz(2400, 1800);
  const VImage grey =
      ((xy[0] % 5 == 0) | (xy[1] % 5 == 0)).ifthenelse(0, 255).cast(VIPS_FORMAT_UCHAR);
  VImage::bandjoin(std::vector<VImage>{grey, grey, grey})
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .jpegsave(photo.c_str(), VImage::option()->set("Q", 95));
  for (const int angle : {0, 9000}) {
    SCOPED_TRACE(angle);
    const TIKFileInfo turned = IKRotatedSize(2400, 1800, angle);
    const int width = turned.width / 25, height = turned.height / 25;
    const TIKRect all{0, 0, turned.width, turned.height};
    const double ours = Spread(IKTrimFrame(photo, angle, all, width, height));
    const double filtered =
        Spread(IKResizeEx(IKRotationEx(IKFileLoad(photo), angle), width, height));
    EXPECT_LE(ours, filtered * 1.5 + 1.0) << "filtered reference " << filtered;
  }
}

}  // namespace
}  // namespace kalvane
