#include "imaging/JpegRegion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vips/vips8>

#include "TestImages.h"
#include "imaging/ImageKit.h"

namespace kalvane {
namespace {

using vips::VImage;

TEST(JpegRegion, ThePartIsTheSameAsInAWholeDecodeAtEveryShrink) {
  test::TempDir dir;
  const std::string photo = dir.File("g.jpg");
  test::WriteGradient(photo, 1000, 700);
  for (const int shrink : {1, 2, 4, 8}) {
    SCOPED_TRACE(shrink);
    const VImage whole =
        VImage::new_from_file(photo.c_str(), VImage::option()->set("shrink", shrink)).copy_memory();
    // Reaching past the right and bottom edges: clipped to the image.
    const int left = 37 / shrink, top = 21 / shrink;
    const TJpegRegion r = DecodeJpegRegion(photo, shrink, left, top, 2000, 2000);
    ASSERT_TRUE(r.Error.empty()) << r.Error;
    EXPECT_TRUE(r.Warning.empty());
    EXPECT_EQ(r.Left, left);
    // The decoder's reduced size rounds up (libvips' may drop a last part row).
    EXPECT_EQ(r.Width, (1000 + shrink - 1) / shrink - left);
    EXPECT_EQ(r.Height, (700 + shrink - 1) / shrink - top);
    const auto* w = static_cast<const std::uint8_t*>(whole.data());
    int worst = 0;
    for (int y = 0; y < std::min(r.Height, whole.height() - top); ++y)
      for (int x = 0; x < std::min(r.Width, whole.width() - left) * 3; ++x)
        worst = std::max(
            worst, std::abs(r.Pixels[static_cast<std::size_t>(y) * r.Width * 3 + x] -
                            w[(static_cast<std::size_t>(y + top) * whole.width() + left) * 3 + x]));
    EXPECT_LE(worst, 1);
  }
}

TEST(JpegRegion, DamageAnywhereWarnsAndACutFileFails) {
  test::TempDir dir;
  const std::string clean = dir.File("clean.jpg");
  const VImage noise = VImage::gaussnoise(800, 600, VImage::option()->set("sigma", 30.0));
  VImage::bandjoin(std::vector<VImage>{noise, noise, noise})
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .jpegsave(clean.c_str());
  const std::string bytes = test::ReadText(clean);
  const std::string lost = dir.File("lost.jpg"), flipped = dir.File("flipped.jpg"),
                    cut = dir.File("cut.jpg");
  std::ofstream(lost, std::ios::binary)
      << bytes.substr(0, bytes.size() / 2) << bytes.substr(bytes.size() / 2 + 500);
  std::string changed = bytes;
  for (std::size_t i = changed.size() * 3 / 4; i < changed.size() * 3 / 4 + 300; i += 7)
    changed[i] = static_cast<char>(changed[i] ^ 0x5A);
  std::ofstream(flipped, std::ios::binary) << changed;
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  // Only the top rows are asked for; the damage lies lower down.
  EXPECT_TRUE(DecodeJpegRegion(clean, 2, 0, 0, 100, 20).Warning.empty());
  for (const std::string& damaged : {lost, flipped}) {
    SCOPED_TRACE(damaged);
    const TJpegRegion r = DecodeJpegRegion(damaged, 2, 0, 0, 100, 20);
    EXPECT_TRUE(r.Error.empty()) << r.Error;
    EXPECT_FALSE(r.Warning.empty());
    EXPECT_EQ(r.Pixels.size(), 100u * 20 * 3);
  }
  const TJpegRegion r = DecodeJpegRegion(cut, 2, 0, 0, 100, 20);
  EXPECT_FALSE(r.Error.empty());
  EXPECT_TRUE(r.Pixels.empty());
}

TEST(JpegRegion, CmykIsLeftToTheGeneralDecoder) {
  test::TempDir dir;
  const std::string photo = dir.File("cmyk.jpg");
  IKInitialize();
  VImage::black(64, 48, VImage::option()->set("bands", 4))
      .cast(VIPS_FORMAT_UCHAR)
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_CMYK))
      .jpegsave(photo.c_str());
  EXPECT_TRUE(DecodeJpegRegion(photo, 1, 0, 0, 10, 10).Unsupported);
  // and the frame still comes out
  EXPECT_FALSE(IKTrimFrame(photo, 9000, {0, 0, 48, 64}, 12, 16).IsEmpty());
}

}  // namespace
}  // namespace kalvane
