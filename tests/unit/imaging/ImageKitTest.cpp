#include "imaging/ImageKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vips/vips8>

#include "TestImages.h"
#include "base/AppUtil.h"
#include "imaging/ImageTrimToJpeg.h"

namespace kalvane {
namespace {

using test::TempDir;
using vips::VImage;

TBitmap24 LoadBitmap(const std::string& path) {
  return IKBitmapFromDib(IKFileLoad(path));
}

// Where the black marker of a white image ended up (centre of dark pixels).
std::pair<double, double> MarkerCentre(const TBitmap24& b) {
  double sx = 0, sy = 0, n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.GetPixel(x, y).r < 100) sx += x, sy += y, n += 1;
  return {sx / n, sy / n};
}

TEST(ImageKitFormats, EveryAcceptedFormatLoadsAsEightBitRgb) {
  TempDir dir;
  for (const char* ext : {".png", ".jpg", ".tif", ".gif", ".bmp", ".webp", ".avif", ".heic"}) {
    SCOPED_TRACE(ext);
    EXPECT_TRUE(IsImageFile(std::string("G") + ext));
    const std::string path = dir.File(std::string("g") + ext);
    test::WriteGradient(path, 40, 30);
    const auto info = IKFileType(path);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->width, 40);
    EXPECT_EQ(info->height, 30);
    const TBitmap24 b = LoadBitmap(path);
    ASSERT_EQ(b.Width(), 40);
    ASSERT_EQ(b.Height(), 30);
    // pixel (x, y) = (x, y, 77) in RGB; lossy formats within a tolerance
    const auto p = b.GetPixel(20, 10);
    EXPECT_NEAR(p.r, 20, 6);
    EXPECT_NEAR(p.g, 10, 6);
    EXPECT_NEAR(p.b, 77, 6);
  }
}

TEST(ImageKitFormats, AlphaIsFlattenedOntoWhite) {
  TempDir dir;
  const std::string path = dir.File("alpha.png");
  // red, fully transparent on the left half, opaque on the right
  VImage rgb =
      VImage::black(10, 4, VImage::option()->set("bands", 3)).linear({0, 0, 0}, {255, 0, 0});
  VImage alpha = (VImage::xyz(10, 4)[0] >= 5).cast(VIPS_FORMAT_UCHAR);
  rgb.bandjoin(alpha)
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .pngsave(path.c_str());
  for (const TBitmap24& b : {LoadBitmap(path), IKBitmapFromDib(IKFileLoadScaled(path, 10, 4))}) {
    ASSERT_EQ(b.Width(), 10);
    EXPECT_EQ(b.GetPixel(1, 1), (TBitmap24::Pixel{255, 255, 255}));
    EXPECT_EQ(b.GetPixel(8, 1), (TBitmap24::Pixel{0, 0, 255}));
  }
}

TEST(ImageKitFormats, SixteenBitAndCmykComeOutAsEightBitSrgb) {
  TempDir dir;
  const std::string deep = dir.File("deep.png");
  (VImage::black(8, 8, VImage::option()->set("bands", 3)) + std::vector<double>{65535, 32896, 0})
      .cast(VIPS_FORMAT_USHORT)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16))
      .pngsave(deep.c_str());
  TBitmap24::Pixel p{};
  for (const TBitmap24& b : {LoadBitmap(deep), IKBitmapFromDib(IKFileLoadScaled(deep, 4, 4))}) {
    p = b.GetPixel(3, 3);
    EXPECT_EQ(p.r, 255);
    EXPECT_NEAR(p.g, 128, 1);
    EXPECT_EQ(p.b, 0);
  }

  const std::string cmyk = dir.File("cmyk.jpg");
  // no ink at all is white paper
  (VImage::black(8, 8, VImage::option()->set("bands", 4)))
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK))
      .jpegsave(cmyk.c_str());
  for (const TBitmap24& c : {LoadBitmap(cmyk), IKBitmapFromDib(IKFileLoadScaled(cmyk, 4, 4))}) {
    ASSERT_EQ(c.Height(), c.Width());
    p = c.GetPixel(3, 3);
    EXPECT_GT(p.r, 230);
    EXPECT_GT(p.g, 230);
    EXPECT_GT(p.b, 230);
  }
}

TEST(ImageKitFormats, CameraOrientationIsHonouredEverywhere) {
  TempDir dir;
  const std::string path = dir.File("portrait.jpg");
  // stored 40 x 20 with the marker top-left; the tag says: turn a quarter
  // clockwise to show it upright (orientation 6)
  test::WriteMarker(path, 40, 20, 0, 0, 8);
  VImage tagged = VImage::new_from_file(path.c_str()).copy();
  tagged.set(VIPS_META_ORIENTATION, 6);
  const std::string turned = dir.File("turned.jpg");
  tagged.jpegsave(turned.c_str(), VImage::option()->set("Q", 95));

  const auto info = IKFileType(turned);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->width, 20);
  EXPECT_EQ(info->height, 40);
  const TBitmap24 full = LoadBitmap(turned);
  ASSERT_EQ(full.Width(), 20);
  ASSERT_EQ(full.Height(), 40);
  EXPECT_LT(full.GetPixel(17, 2).r, 60);  // marker now top-right
  EXPECT_GT(full.GetPixel(2, 2).r, 200);
  const TBitmap24 small = IKBitmapFromDib(IKFileLoadScaled(turned, 10, 20));
  ASSERT_EQ(small.Width(), 10);
  EXPECT_LT(small.GetPixel(8, 1).r, 90);
  EXPECT_GT(small.GetPixel(1, 1).r, 180);
}

TEST(ImageKitGreyCut, IsTheLumaOfTheFrameCutAtWholeReducedPixelsAtEveryQuarterTurn) {
  TempDir dir;
  const std::string path = dir.File("photo.jpg");
  VImage::gaussnoise(160, 120, VImage::option()->set("sigma", 60.0)->set("mean", 120.0))
      .gaussblur(2.0)
      .cast(VIPS_FORMAT_UCHAR)
      .bandjoin(std::vector<VImage>{VImage::black(160, 120) + 90, VImage::black(160, 120) + 30})
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .jpegsave(path.c_str(), VImage::option()->set("Q", 95));
  for (const int angle : {0, 9000, 18000, 27000, -9000}) {
    SCOPED_TRACE(angle);
    // Turned 160 x 120 or 120 x 160; at 1/2, reaching past the top left.
    const bool odd = angle % 18000 != 0;
    const TIKRect rect{-3, -2, odd ? 50 : 70, odd ? 70 : 50};
    const auto grey = IKGreyCut(path, angle, 2, rect);
    ASSERT_TRUE(grey.has_value());
    ASSERT_EQ(grey->Width, rect.right - rect.left);
    ASSERT_EQ(grey->Height, rect.bottom - rect.top);
    const TBitmap24 frame = IKBitmapFromDib(
        IKTrimFrame(path, angle, {2 * rect.left, 2 * rect.top, 2 * rect.right, 2 * rect.bottom},
                    grey->Width, grey->Height));
    ASSERT_EQ(frame.Width(), grey->Width);
    int worst = 0;
    for (int y = 0; y < frame.Height(); ++y) {
      for (int x = 0; x < frame.Width(); ++x) {
        const TBitmap24::Pixel p = frame.GetPixel(x, y);
        const double luma = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
        const int v = grey->Pixels[static_cast<std::size_t>(y) * grey->Width + x];
        worst = std::max(worst, static_cast<int>(std::lround(std::abs(luma - v))));
      }
    }
    EXPECT_LE(worst, 3);
    EXPECT_EQ(grey->Pixels[0], 255);  // outside the photo: white
    // The same cut from the copy a display load keeps, whether that load
    // decoded at the cut's shrink (display 40 x 30) or larger and averaged
    // down (display 160 x 120).
    for (const int shown : {40, 160}) {
      std::optional<TIKReducedGrey> kept;
      ASSERT_FALSE(IKFileLoadScaled(path, {160, 120}, shown, shown * 3 / 4, 2, &kept).IsEmpty());
      ASSERT_TRUE(kept.has_value());
      const auto fromKept = IKGreyCut(*kept, angle, 2, rect);
      ASSERT_TRUE(fromKept.has_value());
      ASSERT_EQ(fromKept->Pixels.size(), grey->Pixels.size());
      int apart = 0;
      for (std::size_t i = 0; i < grey->Pixels.size(); ++i)
        apart = std::max(apart, std::abs(int{grey->Pixels[i]} - int{fromKept->Pixels[i]}));
      EXPECT_LE(apart, shown == 40 ? 2 : 4) << shown;
      EXPECT_FALSE(IKGreyCut(*kept, angle, 4, rect).has_value());  // kept at 1/2 only
    }
  }
  // Not a JPEG, or an odd side the turn would start from: the general way.
  const std::string png = dir.File("photo.png");
  VImage::new_from_file(path.c_str()).pngsave(png.c_str());
  EXPECT_FALSE(IKGreyCut(png, 0, 2, {0, 0, 10, 10}).has_value());
  std::optional<TIKReducedGrey> kept;
  EXPECT_FALSE(IKFileLoadScaled(png, {160, 120}, 40, 30, 2, &kept).IsEmpty());
  EXPECT_FALSE(kept.has_value());
  const std::string odd = dir.File("odd.jpg");
  VImage::new_from_file(path.c_str()).crop(0, 0, 159, 120).jpegsave(odd.c_str());
  EXPECT_TRUE(IKGreyCut(odd, 0, 2, {0, 0, 10, 10}).has_value());
  EXPECT_FALSE(IKGreyCut(odd, 18000, 2, {0, 0, 10, 10}).has_value());
}

TEST(ImageKitBadInput, MissingEmptyTruncatedAndForeignFilesFailWithAReason) {
  TempDir dir;
  const std::string empty = dir.File("empty.jpg");
  std::ofstream(empty).close();
  const std::string text = dir.File("text.png");
  std::ofstream(text) << "this is not an image\n";
  const std::string svg = dir.File("drawing.jpg");  // a vector drawing under an image name
  std::ofstream(svg) << "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'/>";
  const std::string cut = dir.File("cut.jpg");
  test::WriteGradient(cut, 300, 200);
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);

  for (const std::string& path : {dir.File("missing.jpg"), empty, text, svg, cut}) {
    SCOPED_TRACE(path);
    const TIKImage full = IKFileLoad(path);
    EXPECT_TRUE(full.IsEmpty());
    EXPECT_NE(full.Error().find(path), std::string::npos) << full.Error();
    const TIKImage small = IKFileLoadScaled(path, 30, 20);
    EXPECT_TRUE(small.IsEmpty());
    EXPECT_FALSE(small.Error().empty());
  }
}

TEST(ImageKitBadInput, DamagedJpegDataIsMadeWithAWarningNamingThePhoto) {
  TempDir dir;
  const std::string clean = dir.File("clean.jpg"), damaged = dir.File("damaged.jpg");
  test::WriteGradient(clean, 800, 600);
  std::string bytes = test::ReadText(clean);
  for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 400; i += 7)
    bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  std::ofstream(damaged, std::ios::binary) << bytes;

  const TIKRect all{0, 0, 800, 600};
  for (const std::string& path : {clean, damaged}) {
    SCOPED_TRACE(path);
    const bool warned = path == damaged;
    // the whole decode, a reduced decode (1/8) and a turned one
    const TIKImage images[] = {IKFileLoad(path), IKTrimFrame(path, 0, all, 100, 75),
                               IKTrimFrame(path, 9000, {0, 0, 600, 800}, 600, 800)};
    for (const TIKImage& image : images) {
      ASSERT_FALSE(image.IsEmpty()) << image.Error();
      EXPECT_EQ(image.Warning().find(path) != std::string::npos, warned) << image.Warning();
    }
    const TFrameResult frame =
        TImageTrimToJpeg().MakeFrame({0, path, 0, all, 200, 150, dir.File("frame.jpg")});
    EXPECT_TRUE(test::Ok(frame));
    EXPECT_EQ(frame.Warning.empty(), !warned);
  }
}

TEST(ImageKitBadInput, AbsurdDeclaredSizeIsRefusedBeforeDecoding) {
  TempDir dir;
  const std::string path = dir.File("huge.png");
  test::WriteHugePng(path);
  // Refused already by the header read that loads without decoding use.
  std::string error;
  EXPECT_FALSE(IKFileType(path, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  EXPECT_EQ(GetFitScale(path), -1.0);
  const TIKImage image = IKFileLoadScaled(path, 600, 600);
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_TRUE(IKFileLoad(path).IsEmpty());
}

TEST(ImageKitScaling, LoadScaledAndResizeGiveExactlyTheRequestedSize) {
  TempDir dir;
  const std::string path = dir.File("photo.jpg");
  test::WriteGradient(path, 1001, 751);
  for (auto [w, h] : {std::pair{500, 376}, {300, 225}, {7, 3}, {1001, 751}}) {
    const TIKImage image = IKFileLoadScaled(path, w, h);
    EXPECT_EQ(image.Width(), w);
    EXPECT_EQ(image.Height(), h);
  }
  const TIKImage full = IKFileLoad(path);
  const TIKImage stretched = IKResizeEx(full, 123, 457);
  EXPECT_EQ(IKGetImageType(stretched).width, 123);
  EXPECT_EQ(IKGetImageType(stretched).height, 457);
}

TEST(ImageKitRotation, QuarterTurnIsToTheLeftAndLossless) {
  // 4 x 2 gradient; after a quarter turn to the left (counter-clockwise) the
  // top-right pixel (3, 0) is the top-left one and the image is 2 x 4.
  TBitmap24 b(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      b.SetPixel(x, y, {static_cast<std::uint8_t>(10 * x + y), 0, 0});
  const TBitmap24 left = IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(b), 9000));
  ASSERT_EQ(left.Width(), 2);
  ASSERT_EQ(left.Height(), 4);
  EXPECT_EQ(left.GetPixel(0, 0).b, 30);  // was (3, 0)
  EXPECT_EQ(left.GetPixel(1, 0).b, 31);  // was (3, 1)
  EXPECT_EQ(left.GetPixel(0, 3).b, 0);   // was (0, 0)

  const TBitmap24 right = IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(b), -9000));
  EXPECT_EQ(right.GetPixel(0, 0).b, 1);   // was (0, 1)
  EXPECT_EQ(right.GetPixel(1, 3).b, 30);  // was (3, 0)

  const TBitmap24 half = IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(b), 18000));
  EXPECT_EQ(half.GetPixel(0, 0).b, 31);
  // 27000 is -9000, and a whole turn changes nothing
  const TBitmap24 three = IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(b), 27000));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x)
      EXPECT_EQ(three.GetPixel(x, y), right.GetPixel(x, y));
  const TBitmap24 whole = IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(b), -36000));
  EXPECT_EQ(whole.GetPixel(3, 1), b.GetPixel(3, 1));
}

TEST(ImageKitRotation, OtherAnglesTurnLeftOntoWhiteInTheBoundingBox) {
  TempDir dir;
  const std::string path = dir.File("marker.png");
  // marker right of the centre on a 200 x 100 image
  test::WriteMarker(path, 200, 100, 160, 45, 10);
  const TIKImage image = IKFileLoad(path);
  const TBitmap24 turned = IKBitmapFromDib(IKRotationEx(image, 4500));
  // bounding box of a 200 x 100 rectangle turned by 45 degrees: about 212 x 212
  EXPECT_NEAR(turned.Width(), 212, 2);
  EXPECT_NEAR(turned.Height(), 212, 2);
  // corners outside the photo are white
  EXPECT_EQ(turned.GetPixel(0, 0), (TBitmap24::Pixel{255, 255, 255}));
  // turning left lifts a point right of the centre above the centre
  const auto [cx, cy] = MarkerCentre(turned);
  EXPECT_GT(cx, turned.Width() / 2.0 + 20);
  EXPECT_LT(cy, turned.Height() / 2.0 - 20);
}

TEST(ImageKitOperations, CutFillsOutsideWithWhite) {
  TBitmap24 b(4, 4);
  b.Fill(0, 0, 0);
  const TBitmap24 cut = IKBitmapFromDib(IKCutRectImage(IKDibFromBitmap(b), {-2, 1, 3, 7}));
  ASSERT_EQ(cut.Width(), 5);
  ASSERT_EQ(cut.Height(), 6);
  EXPECT_EQ(cut.GetPixel(0, 0), (TBitmap24::Pixel{255, 255, 255}));  // left of the image
  EXPECT_EQ(cut.GetPixel(2, 0), (TBitmap24::Pixel{0, 0, 0}));        // image (0, 1)
  EXPECT_EQ(cut.GetPixel(4, 5), (TBitmap24::Pixel{255, 255, 255}));  // below it
  EXPECT_TRUE(IKCutRectImage(IKDibFromBitmap(b), {2, 2, 2, 3}).IsEmpty());
}

TEST(ImageKitOperations, GreyHasEqualBytesAndLuma) {
  TBitmap24 b(2, 1);
  b.SetPixel(0, 0, {0, 0, 255});  // pure red
  b.SetPixel(1, 0, {255, 255, 255});
  const TBitmap24 g = IKBitmapFromDib(IKSetGray(IKDibFromBitmap(b)));
  const auto red = g.GetPixel(0, 0);
  EXPECT_EQ(red.r, red.g);
  EXPECT_EQ(red.g, red.b);
  EXPECT_NEAR(red.r, 76, 1);  // 0.299 * 255
  EXPECT_EQ(g.GetPixel(1, 0).r, 255);
  const TBitmap24 rows = IKSetGray(b);  // the same from the rows
  EXPECT_EQ(rows.GetPixel(0, 0), red);
  EXPECT_EQ(rows.GetPixel(1, 0), g.GetPixel(1, 0));
}

TEST(ImageKitOperations, BitmapRoundTripKeepsBgrOrderAndPaddedRows) {
  TBitmap24 b(3, 2);  // 9 bytes a row, stride 12
  EXPECT_EQ(b.Stride(), 12u);
  b.SetPixel(2, 1, {1, 2, 3});
  b.SetPixel(0, 0, {200, 100, 50});
  const TBitmap24 back = IKBitmapFromDib(IKDibFromBitmap(b));
  EXPECT_EQ(back.GetPixel(2, 1), (TBitmap24::Pixel{1, 2, 3}));
  EXPECT_EQ(back.GetPixel(0, 0), (TBitmap24::Pixel{200, 100, 50}));
}

TEST(ImageKitOperations, JpegSaveWritesBaselineAtTheQuality) {
  TempDir dir;
  TBitmap24 b(64, 48);
  b.Fill(10, 200, 30);
  const std::string path = dir.File("frame.jpg");
  std::string error;
  ASSERT_TRUE(test::Ok(IKJpegFileSave(path, IKDibFromBitmap(b), 85)));
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
  EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos);  // baseline frame header
  EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos);  // not progressive
  EXPECT_TRUE(test::Failed(IKJpegFileSave(dir.File("no/such/folder/x.jpg"), IKDibFromBitmap(b), 85),
                           &error));
  EXPECT_NE(error.find("no/such/folder"), std::string::npos);
}

TEST(ImageKitOperations, ImageOutFitsInsideTheRectangleKeepingAspect) {
  TBitmap24 target(110, 90);
  target.FillWhite();
  TBitmap24 wide(200, 100);
  wide.Fill(0, 0, 0);
  IKImageOut(target, IKDibFromBitmap(wide), {3, 3, 99, 80});
  // 96 x 77 rectangle: the 2:1 picture becomes 96 x 48, centred vertically
  EXPECT_EQ(target.GetPixel(3, 40).r, 0);
  EXPECT_EQ(target.GetPixel(98, 40).r, 0);
  EXPECT_EQ(target.GetPixel(50, 10).r, 255);
  EXPECT_EQ(target.GetPixel(2, 40).r, 255);
  EXPECT_EQ(target.GetPixel(99, 40).r, 255);
}

TEST(ImageKitErrors, OnlyTheLinesAboutThisPhotoAreKept) {
  const std::string detail =
      "VipsJpeg: Premature end of input file\n"
      "VipsForeignLoad: \"/photos/b.jpg\" is not a known file format\n"
      "VipsForeignLoad: \"/photos/a.jpg\" cut short\n";
  EXPECT_EQ(IKOwnErrorLines(detail, "/photos/a.jpg"),
            "VipsJpeg: Premature end of input file\n"
            "VipsForeignLoad: \"/photos/a.jpg\" cut short");
  EXPECT_EQ(IKOwnErrorLines(detail, ""), detail);  // no file to tell
  // and a failure names its own photo first
  test::TempDir dir;
  std::ofstream(dir.File("a.jpg")) << "\xFF\xD8\xFF\xE0 truncated";
  const TIKImage frame = IKTrimFrame(dir.File("a.jpg"), 0, {0, 0, 10, 10}, 10, 10);
  ASSERT_TRUE(frame.IsEmpty());
  EXPECT_EQ(frame.Error().rfind(dir.File("a.jpg"), 0), 0u) << frame.Error();
}

}  // namespace
}  // namespace kalvane

namespace kalvane {
namespace {

// A project's loaders make display copies on every core at once, each
// building its own resize; built together they once crashed in liborc.
TEST(ImageKitLoadScaled, ManyLoadsStartedAtOnceGiveEveryCopyWhole) {
  test::TempDir dir;
  const std::string path = dir.File("photo.jpg");
  test::WriteGradient(path, 1200, 900);
  std::vector<std::thread> loaders;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 12; ++t) {
    loaders.emplace_back([&, t] {
      for (int round = 0; round < 15; ++round) {
        // Every size its own scale, so every build makes new vector code.
        const int w = 97 + 13 * t + round, h = 71 + 7 * t + round;
        const TIKImage image = IKFileLoadScaled(path, w, h);
        if (image.IsEmpty() || image.Width() != w || image.Height() != h) ++wrong;
      }
    });
  }
  for (std::thread& loader : loaders)
    loader.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace kalvane
