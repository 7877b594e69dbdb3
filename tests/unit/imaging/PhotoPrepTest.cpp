// The preparation tool's image work: the estimates that even out a shoot,
// the backdrop rule, the files it reads and writes, names and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vips/vips8>

#include "TestImages.h"
#include "imaging/BackdropMatch.h"
#include "imaging/OutputFolder.h"
#include "imaging/OutputNames.h"
#include "imaging/PhotoBatch.h"
#include "imaging/PhotoFinish.h"
#include "imaging/PhotoLoad.h"

namespace kalvane {
namespace {

using test::Failed;
using test::Ok;
using test::TempDir;

// A studio shot in 8-bit levels: a light, slightly warm backdrop darker
// towards the bottom, a soft shadow, and a many-coloured object in the
// middle that never reaches the border.
TRgbImage Studio(int w, int h) {
  TRgbImage image;
  image.Width = w;
  image.Height = h;
  image.Pixels.resize(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double fall = 1.0 - 0.12 * y / h;
      double rgb[3] = {214 * fall, 208 * fall, 196 * fall};
      const double dx = (x - w / 2.0) / (w * 0.22), dy = (y - h / 2.0) / (h * 0.3);
      const double sx = (x - w * 0.58) / (w * 0.26), sy = (y - h * 0.82) / (h * 0.06);
      if (sx * sx + sy * sy < 1) {
        for (double& v : rgb)
          v *= 0.7;  // the shadow under the object
      }
      if (dx * dx + dy * dy < 1) {
        rgb[0] = 40 + 180 * (x % 97) / 97.0;
        rgb[1] = 30 + 150 * (y % 53) / 53.0;
        rgb[2] = 60 + 90 * ((x + y) % 41) / 41.0;
      }
      std::uint16_t* p = image.Row(y) + 3 * x;
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint16_t>(std::lround(rgb[c] * 257));
    }
  }
  return image;
}

// The photo as a camera would have taken it with other light: levels
// multiplied per channel and clipped.
TRgbImage Lit(const TRgbImage& in, std::array<double, 3> gain) {
  TRgbImage out = in;
  for (std::size_t i = 0; i < out.Pixels.size(); ++i) {
    out.Pixels[i] = static_cast<std::uint16_t>(
        std::min(kFullScale, std::nearbyint(out.Pixels[i] * gain[i % 3])));
  }
  return out;
}

std::array<double, 3> Means(const TRgbImage& image) {
  std::array<double, 3> sum{};
  for (std::size_t i = 0; i < image.Pixels.size(); ++i)
    sum[i % 3] += image.Pixels[i];
  for (double& s : sum)
    s /= image.Pixels.size() / 3.0 * kFullScale;
  return sum;
}

vips::VImage ToVips(const TRgbImage& image, bool sixteen) {
  vips::VImage v = vips::VImage::new_from_memory(const_cast<std::uint16_t*>(image.Pixels.data()),
                                                 image.Pixels.size() * 2, image.Width, image.Height,
                                                 3, VIPS_FORMAT_USHORT);
  if (sixteen)
    return v.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
  return v.linear(1.0 / 257, 0.5).cast(VIPS_FORMAT_UCHAR);
}

void Save(const TRgbImage& image, const std::string& path, bool sixteen = false) {
  ToVips(image, sixteen).write_to_file(path.c_str());
}

// A linear DNG as a camera's converter writes one: 16-bit RGB, red on the
// left half, blue on the bottom half, with the orientation tag given. With
// `garbage`, the file says its data is compressed (lossless JPEG, as most
// DNGs are) and the data is noise instead.
void WriteLinearDng(const std::string& path, int orientation, bool garbage = false,
                    unsigned width = 64, unsigned height = 48) {
  const unsigned kW = width, kH = height;
  std::string pixels;
  auto put16 = [](std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8);
  };
  auto put32 = [&](std::string& out, unsigned v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
  };
  for (unsigned y = 0; y < kH; ++y)
    for (unsigned x = 0; x < kW; ++x) {
      put16(pixels, x < kW / 2 ? 60000 : 8000);
      put16(pixels, 20000);
      put16(pixels, y < kH / 2 ? 4000 : 50000);
    }
  struct TTag {
    unsigned Id, Type;
    std::vector<unsigned> Values;  // rationals as numerator, denominator
    std::string Text;
  };
  const unsigned dataAt = 8;
  std::vector<TTag> tags = {{254, 4, {0}, {}},
                            {256, 4, {kW}, {}},
                            {257, 4, {kH}, {}},
                            {258, 3, {16, 16, 16}, {}},
                            {259, 3, {garbage ? 7u : 1u}, {}},
                            {262, 3, {34892}, {}},  // linear raw
                            {271, 2, {}, "Kalvane"},
                            {272, 2, {}, "Test"},
                            {273, 4, {dataAt}, {}},
                            {274, 3, {static_cast<unsigned>(orientation)}, {}},
                            {277, 3, {3}, {}},
                            {278, 4, {kH}, {}},
                            {279, 4, {static_cast<unsigned>(pixels.size())}, {}},
                            {284, 3, {1}, {}},
                            {50706, 1, {1, 4, 0, 0}, {}},
                            {50708, 2, {}, "Kalvane Test"},
                            {50717, 3, {65535}, {}},
                            {50721, 10, {1, 1, 0, 1, 0, 1, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1, 1}, {}},
                            {50728, 5, {1, 1, 1, 1, 1, 1}, {}},
                            {50778, 3, {21}, {}}};
  if (garbage) {
    unsigned noise = 12345;
    for (char& c : pixels) {
      noise = noise * 1103515245 + 12345;
      c = static_cast<char>(noise >> 16);
    }
  }
  const unsigned ifdAt = dataAt + static_cast<unsigned>(pixels.size());
  unsigned extraAt = ifdAt + 2 + 12 * static_cast<unsigned>(tags.size()) + 4;
  std::string ifd, extra;
  put16(ifd, static_cast<unsigned>(tags.size()));
  for (const TTag& tag : tags) {
    std::string raw = tag.Text.empty() ? std::string() : tag.Text + '\0';
    for (const unsigned v : tag.Values) {
      if (tag.Type == 1) raw += static_cast<char>(v);
      if (tag.Type == 3) put16(raw, v);
      if (tag.Type == 4 || tag.Type == 5 || tag.Type == 10) put32(raw, v);
    }
    const unsigned count = tag.Type == 2   ? static_cast<unsigned>(raw.size())
                           : tag.Type >= 5 ? static_cast<unsigned>(tag.Values.size() / 2)
                                           : static_cast<unsigned>(tag.Values.size());
    put16(ifd, tag.Id);
    put16(ifd, tag.Type);
    put32(ifd, count);
    if (raw.size() <= 4) {
      ifd += raw + std::string(4 - raw.size(), '\0');
    } else {
      put32(ifd, extraAt + static_cast<unsigned>(extra.size()));
      extra += raw;
      if (extra.size() % 2) extra += '\0';
    }
  }
  put32(ifd, 0);
  std::string file = "II*";
  file += '\0';
  put32(file, ifdAt);
  std::ofstream(path, std::ios::binary) << file + pixels + ifd + extra;
}

// ---- the estimates -----------------------------------------------------------------

TEST(BackdropMatch, AKnownGainAndTintIsUndoneWithinOnePercent) {
  // Dim enough that no gain below clips a level.
  const TRgbImage reference = Lit(Studio(400, 300), {0.8, 0.8, 0.8});
  const TBackdropStats refStats = TBackdropStats::Measure(reference);
  for (const std::array<double, 3> gain : {std::array<double, 3>{0.8, 0.8, 0.8},
                                           {1.18, 1.18, 1.18},
                                           {1.1, 0.95, 0.82},
                                           {0.85, 1.0, 1.2}}) {
    SCOPED_TRACE(testing::Message() << gain[0] << " " << gain[1] << " " << gain[2]);
    TRgbImage photo = Lit(reference, gain);
    const TGains found = MatchGains(refStats, TBackdropStats::Measure(photo));
    ASSERT_TRUE(found.Measured);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(found.Gain[c] * gain[c], 1.0, 0.01);
    ApplyGains(photo, found);
    const std::array<double, 3> want = Means(reference), got = Means(photo);
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(got[c] / want[c], 1.0, 0.01);
  }
}

TEST(BackdropMatch, TheObjectDoesNotBiasTheEstimate) {
  // Two shots of one light whose objects differ (a turn of the table):
  // nothing to correct.
  TRgbImage a = Studio(400, 300), b = Studio(400, 300);
  for (int y = 100; y < 200; ++y)
    for (int x = 120; x < 280; ++x)
      for (int c = 0; c < 3; ++c)
        b.Row(y)[3 * x + c] = static_cast<std::uint16_t>(c == 0 ? 9000 : 60000);
  const TGains found = MatchGains(TBackdropStats::Measure(a), TBackdropStats::Measure(b));
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(found.Gain[c], 1.0, 0.005);
}

TEST(BackdropMatch, ClippedHighlightsUseAQuantileBelowThemAndStayWhite) {
  // A backdrop burnt out over most of the border in the brighter shot.
  const TRgbImage reference = Studio(400, 300);
  const TRgbImage bright = Lit(reference, {1.2, 1.2, 1.2});
  const TBackdropStats brightStats = TBackdropStats::Measure(bright);
  ASSERT_GT(brightStats.Border().Clipped(0), 0.2);
  ASSERT_EQ(bright.Row(0)[0], 65535);
  const TGains found = MatchGains(TBackdropStats::Measure(reference), brightStats);
  ASSERT_TRUE(found.Measured);
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(found.Gain[c], 1 / 1.2, 0.01);
  TRgbImage evened = bright;
  ApplyGains(evened, found);
  EXPECT_EQ(evened.Row(0)[0], 65535);  // white stays white
  EXPECT_LE(evened.Row(150)[3 * 200], bright.Row(150)[3 * 200]);
}

TEST(BackdropMatch, AnAllWhiteBorderCannotBeMeasured) {
  TRgbImage white;
  white.Width = 50;
  white.Height = 40;
  white.Pixels.assign(50 * 40 * 3, 65535);
  const TGains found = MatchGains(TBackdropStats::Measure(white), TBackdropStats::Measure(white));
  EXPECT_FALSE(found.Measured);
  EXPECT_EQ(found.Gain, (std::array<double, 3>{1, 1, 1}));
}

// ---- files in ------------------------------------------------------------------------------

TEST(PhotoLoad, SixteenBitTiffKeepsItsLevels) {
  TempDir dir;
  TRgbImage photo = Studio(60, 40);
  photo.Row(3)[3 * 4] = 12345;  // not a multiple of 257: only 16 bits hold it
  Save(photo, dir.File("deep.tif"), true);
  TRgbImage read;
  TPhotoMeta meta;
  ASSERT_TRUE(Ok(LoadPhoto(dir.File("deep.tif"), 0, read, &meta)));
  EXPECT_TRUE(meta.SixteenBit);
  EXPECT_EQ(read.Pixels, photo.Pixels);
}

TEST(PhotoLoad, AlphaIsFlattenedOntoWhite) {
  TempDir dir;
  const std::string path = dir.File("alpha.png");
  // Left half opaque red, right half fully transparent.
  vips::VImage rgb =
      vips::VImage::black(20, 10).new_from_image({200, 10, 10}).cast(VIPS_FORMAT_UCHAR);
  vips::VImage alpha = (vips::VImage::xyz(20, 10)[0] < 10).cast(VIPS_FORMAT_UCHAR);
  rgb.bandjoin(alpha)
      .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
      .write_to_file(path.c_str());
  TRgbImage read;
  ASSERT_TRUE(Ok(LoadPhoto(path, 0, read, nullptr)));
  ASSERT_EQ(read.Width, 20);
  EXPECT_EQ(read.Row(5)[3 * 2], 200 * 257);
  EXPECT_EQ(read.Row(5)[3 * 2 + 1], 10 * 257);
  EXPECT_EQ(read.Row(5)[3 * 15], 65535);
  EXPECT_EQ(read.Row(5)[3 * 15 + 2], 65535);
}

TEST(PhotoLoad, TheOrientationTagIsApplied) {
  TempDir dir;
  const std::string path = dir.File("turned.jpg");
  // Stored 40 x 20 with a black block at the stored top-left; tag 6 says
  // "turn a quarter clockwise to view", so it shows 20 x 40, block top-right.
  vips::VImage image = vips::VImage::black(40, 20)
                           .new_from_image({255, 255, 255})
                           .cast(VIPS_FORMAT_UCHAR)
                           .copy_memory();
  image.draw_rect({0, 0, 0}, 0, 0, 10, 10, vips::VImage::option()->set("fill", true));
  image.set(VIPS_META_ORIENTATION, 6);
  image.write_to_file(path.c_str());
  TRgbImage read;
  ASSERT_TRUE(Ok(LoadPhoto(path, 0, read, nullptr)));
  ASSERT_EQ(read.Width, 20);
  ASSERT_EQ(read.Height, 40);
  EXPECT_LT(read.Row(3)[3 * 16], 10000);
  EXPECT_GT(read.Row(3)[3 * 3], 60000);
  EXPECT_GT(read.Row(36)[3 * 16], 60000);
}

TEST(PhotoLoad, ACameraFileIsReadUprightInSixteenBits) {
  TempDir dir;
  TRgbImage read;
  TPhotoMeta meta;
  WriteLinearDng(dir.File("flat.dng"), 1);
  ASSERT_TRUE(Ok(LoadPhoto(dir.File("flat.dng"), 0, read, &meta)));
  EXPECT_TRUE(meta.SixteenBit);
  ASSERT_EQ(read.Width, 64);
  ASSERT_EQ(read.Height, 48);
  const std::uint16_t* topLeft = read.Row(5) + 3 * 5;
  const std::uint16_t* bottomRight = read.Row(40) + 3 * 50;
  EXPECT_GT(topLeft[0], topLeft[2] + 20000);  // red over blue
  EXPECT_GT(bottomRight[2], bottomRight[0] + 20000);
  // Tag 6: turned a quarter clockwise to view; the red top-left goes top-right.
  WriteLinearDng(dir.File("turned.DNG"), 6);
  ASSERT_TRUE(Ok(LoadPhoto(dir.File("turned.DNG"), 0, read, nullptr)));
  ASSERT_EQ(read.Width, 48);
  ASSERT_EQ(read.Height, 64);
  EXPECT_GT(read.Row(5)[3 * 40], read.Row(5)[3 * 40 + 2] + 20000);
  EXPECT_GT(read.Row(5)[3 * 5 + 2], 40000);
}

// LibRaw reads noise where the picture's data should be without a word of
// it: a photo that cannot be decoded is refused, not written out as noise.
TEST(PhotoLoad, ACameraFileWithDamagedDataIsRefused) {
  TempDir dir;
  TRgbImage read;
  std::string error;
  WriteLinearDng(dir.File("noise.dng"), 1, true);
  EXPECT_TRUE(Failed(LoadPhoto(dir.File("noise.dng"), 0, read, nullptr), &error));
  EXPECT_NE(error.find("noise.dng: not a readable camera file (its picture data is damaged)"),
            std::string::npos)
      << error;
  EXPECT_EQ(read.Width, 0);
  // Cut off inside its data: LibRaw's own error, said as such.
  WriteLinearDng(dir.File("cut.dng"), 1);
  const std::string whole = test::ReadText(dir.File("cut.dng"));
  std::ofstream(dir.File("cut.dng"), std::ios::binary) << whole.substr(0, 8 + 64 * 48 * 3);
  EXPECT_TRUE(Failed(LoadPhoto(dir.File("cut.dng"), 0, read, nullptr), &error));
}

// 16383 x 16383 of one colour: 800 MB of pixels in a lossless WebP of 10 KB.
void WriteWebpBomb(const std::string& path) {
  vips::VImage::black(16383, 16383, vips::VImage::option()->set("bands", 3))
      .linear(1, 200)
      .cast(VIPS_FORMAT_UCHAR)
      .webpsave(path.c_str(), vips::VImage::option()->set("lossless", true));
}

// Few bytes that decode to gigabytes: read reduced where the output is
// smaller, or refused by name from the header when even that is too much.
TEST(PhotoLoad, AHugePictureOfFewBytesIsReadReducedOrRefused) {
  TempDir dir;
  WriteWebpBomb(dir.File("bomb.webp"));
  TRgbImage read;
  {
    const test::PeakMemory memory;
    ASSERT_TRUE(Ok(LoadPhoto(dir.File("bomb.webp"), 600, read, nullptr)));
    if (test::kPeakMemoryMeasured) {
      EXPECT_LT(memory.PeakGrowth(), 200LL << 20);  // 3.2 GB read whole
    }
  }
  EXPECT_GE(read.Width, 600);
  EXPECT_LT(read.Width, 700);
  EXPECT_NEAR(read.Row(300)[0], 200 * 257, 257);
  // 16-bit RGBA: 8 bytes a pixel, 2 GB, whatever size is asked.
  test::WriteHugePng(dir.File("deep.png"), 16383, 16383, 16, 6);
  std::string error;
  for (const int atLeast : {0, 600}) {
    const TPrepResult r = LoadPhoto(dir.File("deep.png"), atLeast, read, nullptr);
    EXPECT_EQ(r.Fault, TPrepFault::TooLarge);
    EXPECT_NE(r.Error.find(dir.File("deep.png") + ": image too large: 2047 MB decoded, more "
                                                  "than the 1024 MB a photo may take"),
              std::string::npos)
        << r.Error;
  }
  // The same pixels in 8-bit RGB are within the limit; only their header is read here.
  test::WriteHugePng(dir.File("flat.png"), 16383, 16383, 8, 2);
  EXPECT_NE(LoadPhoto(dir.File("flat.png"), 600, read, nullptr).Fault, TPrepFault::TooLarge);
}

TEST(PhotoLoad, WebpAndAvifAreRead) {
  TempDir dir;
  const TRgbImage photo = Studio(64, 48);
  for (const char* name : {"a.webp", "a.avif"}) {
    SCOPED_TRACE(name);
    Save(photo, dir.File(name));
    TRgbImage read;
    ASSERT_TRUE(Ok(LoadPhoto(dir.File(name), 0, read, nullptr)));
    EXPECT_EQ(read.Width, 64);
    EXPECT_NEAR(Means(read)[0], Means(photo)[0], 0.03);
  }
}

TEST(PhotoLoad, ShrinksOnLoadButNeverBelowTheSize) {
  TempDir dir;
  Save(Studio(800, 600), dir.File("big.jpg"));
  TRgbImage read;
  ASSERT_TRUE(Ok(LoadPhoto(dir.File("big.jpg"), 300, read, nullptr)));
  EXPECT_EQ(read.Width, 400);  // 1/2: 1/4 would be 200, shorter than asked
  ASSERT_TRUE(Ok(LoadPhoto(dir.File("big.jpg"), 0, read, nullptr)));
  EXPECT_EQ(read.Width, 800);
}

TEST(PhotoLoad, RefusesWhatItCannotRead) {
  TempDir dir;
  TRgbImage read;
  std::string error;
  EXPECT_TRUE(Failed(LoadPhoto(dir.File("none.jpg"), 0, read, nullptr), &error));
  EXPECT_NE(error.find("no such file"), std::string::npos);
  test::WriteSolid(dir.File("x.png"), 4, 4, 1, 2, 3);
  std::filesystem::copy_file(dir.File("x.png"), dir.File("cut.jpg"));
  std::filesystem::resize_file(dir.File("cut.jpg"), 20);
  EXPECT_TRUE(Failed(LoadPhoto(dir.File("cut.jpg"), 0, read, nullptr), &error));
  EXPECT_NE(error.find("cut.jpg: not a readable image"), std::string::npos) << error;
  // A JPEG cut off in its pixels would come out half grey: refused.
  Save(Studio(300, 200), dir.File("half.jpg"));
  std::filesystem::resize_file(dir.File("half.jpg"),
                               std::filesystem::file_size(dir.File("half.jpg")) / 2);
  EXPECT_TRUE(Failed(LoadPhoto(dir.File("half.jpg"), 0, read, nullptr), &error));
  EXPECT_NE(error.find("half.jpg: not a readable image"), std::string::npos) << error;
  {
    std::FILE* f = std::fopen(dir.File("fake.dng").c_str(), "wb");
    std::fputs("not a camera file at all", f);
    std::fclose(f);
  }
  EXPECT_TRUE(Failed(LoadPhoto(dir.File("fake.dng"), 0, read, nullptr), &error));
  EXPECT_NE(error.find("fake.dng: not a readable camera file"), std::string::npos) << error;
  EXPECT_TRUE(IsPhotoFile("a/B.NEF"));
  EXPECT_TRUE(IsPhotoFile("x.heic"));
  EXPECT_FALSE(IsPhotoFile("x.gif"));
  EXPECT_FALSE(IsPhotoFile("notes.txt"));
}

// ---- files out ------------------------------------------------------------------------------

TEST(PhotoFinish, WritesEachFormatAtTheLongestSide) {
  TempDir dir;
  const TRgbImage photo = Studio(300, 200);
  TPhotoMeta meta;
  for (const TPhotoFormat format : {TPhotoFormat::Jpeg, TPhotoFormat::Png, TPhotoFormat::Webp}) {
    const std::string path = dir.File(std::string("out") + PhotoExtension(format));
    ASSERT_TRUE(Ok(SavePhoto(photo, meta, {}, {format, 85, 120, false}, path)));
    vips::VImage back = vips::VImage::new_from_file(path.c_str());
    EXPECT_EQ(back.width(), 120);
    EXPECT_EQ(back.height(), 80);
    EXPECT_EQ(back.bands(), 3);
    EXPECT_EQ(back.format(), VIPS_FORMAT_UCHAR);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
  // Sixteen bits in, sixteen bits out where the format holds them.
  meta.SixteenBit = true;
  ASSERT_TRUE(Ok(SavePhoto(photo, meta, {}, {TPhotoFormat::Png, 85, 0, false}, dir.File("d.png"))));
  EXPECT_EQ(vips::VImage::new_from_file(dir.File("d.png").c_str()).format(), VIPS_FORMAT_USHORT);
  // A portrait photo: the height is the longest side.
  TRgbImage tall = Studio(200, 300);
  ASSERT_TRUE(Ok(SavePhoto(tall, {}, {}, {TPhotoFormat::Jpeg, 85, 90, false}, dir.File("t.jpg"))));
  EXPECT_EQ(vips::VImage::new_from_file(dir.File("t.jpg").c_str()).height(), 90);
  EXPECT_EQ(vips::VImage::new_from_file(dir.File("t.jpg").c_str()).width(), 60);
  // A link where the photo goes is replaced itself, never written through.
  std::ofstream(dir.File("elsewhere.jpg")) << "elsewhere";
  std::filesystem::create_symlink(dir.File("elsewhere.jpg"), dir.File("l.jpg"));
  ASSERT_TRUE(Ok(SavePhoto(tall, {}, {}, {TPhotoFormat::Jpeg, 85, 90, false}, dir.File("l.jpg"))));
  EXPECT_EQ(test::ReadText(dir.File("elsewhere.jpg")), "elsewhere");
  EXPECT_FALSE(std::filesystem::is_symlink(dir.File("l.jpg")));
}

TEST(PhotoFinish, MetadataIsKeptOrStripped) {
  TempDir dir;
  const std::string source = dir.File("tagged.jpg");
  vips::VImage image =
      vips::VImage::black(40, 30).new_from_image({90, 90, 90}).cast(VIPS_FORMAT_UCHAR).copy();
  image.set("exif-ifd0-Artist", "Kalvane test");
  image.set(VIPS_META_ORIENTATION, 3);
  image.write_to_file(source.c_str());
  TRgbImage read;
  TPhotoMeta meta;
  ASSERT_TRUE(Ok(LoadPhoto(source, 0, read, &meta)));
  ASSERT_FALSE(meta.Exif.empty());
  ASSERT_TRUE(
      Ok(SavePhoto(read, meta, {}, {TPhotoFormat::Jpeg, 90, 0, true}, dir.File("kept.jpg"))));
  ASSERT_TRUE(
      Ok(SavePhoto(read, meta, {}, {TPhotoFormat::Jpeg, 90, 0, false}, dir.File("bare.jpg"))));
  vips::VImage kept = vips::VImage::new_from_file(dir.File("kept.jpg").c_str());
  vips::VImage bare = vips::VImage::new_from_file(dir.File("bare.jpg").c_str());
  ASSERT_NE(vips_image_get_typeof(kept.get_image(), "exif-ifd0-Artist"), 0u);
  EXPECT_NE(std::string(kept.get_string("exif-ifd0-Artist")).find("Kalvane test"),
            std::string::npos);
  EXPECT_EQ(kept.get_int(VIPS_META_ORIENTATION), 1);  // the pixels are upright now
  EXPECT_EQ(vips_image_get_typeof(bare.get_image(), VIPS_META_EXIF_NAME), 0u);
}

TEST(PhotoFinish, LevelsCounterClockwiseTurnsAndCuts) {
  // A black block at the top-left.
  TRgbImage photo;
  photo.Width = 60;
  photo.Height = 40;
  photo.Pixels.assign(60 * 40 * 3, 65535);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      for (int c = 0; c < 3; ++c)
        photo.Row(y)[3 * x + c] = 0;
  TRgbImage out;
  TGeometry quarter;
  quarter.QuarterTurns = 1;  // to the left: the block goes to the bottom-left
  ASSERT_TRUE(Ok(ShapePhoto(photo, quarter, {}, out)));
  ASSERT_EQ(out.Width, 40);
  EXPECT_EQ(out.Row(55)[3 * 3], 0);
  EXPECT_EQ(out.Row(3)[3 * 3], 65535);
  // A small level to the left lifts the right end of a horizontal line.
  TRgbImage line;
  line.Width = 200;
  line.Height = 100;
  line.Pixels.assign(200 * 100 * 3, 65535);
  for (int x = 0; x < 200; ++x)
    for (int c = 0; c < 3; ++c)
      line.Row(50)[3 * x + c] = 0;
  TGeometry level;
  level.LevelDegrees = 10;
  ASSERT_TRUE(Ok(ShapePhoto(line, level, {}, out)));
  auto darkest = [&](int x) {
    int best = 0;
    for (int y = 0; y < out.Height; ++y)
      if (out.Row(y)[3 * x] < out.Row(best)[3 * x]) best = y;
    return best;
  };
  EXPECT_LT(darkest(out.Width - 30), darkest(30) - 20);
  TGeometry cut;
  cut.MarginLeft = 0.25;
  cut.MarginTop = 0.1;
  cut.MarginRight = 0.25;
  ASSERT_TRUE(Ok(ShapePhoto(photo, cut, {}, out)));
  EXPECT_EQ(out.Width, 30);
  EXPECT_EQ(out.Height, 36);
}

TEST(PhotoFinish, ALevelledPhotoKeepsItsSizeAndShowsNoSeam) {
  // A light backdrop darker towards the bottom: white corners would show.
  const TRgbImage photo = Studio(1200, 900);
  TRgbImage out;
  TGeometry level;
  level.LevelDegrees = 1.2;
  ASSERT_TRUE(Ok(ShapePhoto(photo, level, {}, out)));
  ASSERT_EQ(out.Width, 1200);
  ASSERT_EQ(out.Height, 900);
  for (const auto& [x, y, dx, dy] :
       {std::array<int, 4>{0, 0, 1, 1}, {1199, 0, -1, 1}, {0, 899, 1, -1}, {1199, 899, -1, -1}}) {
    // The corner continues what is beside it.
    const std::uint16_t corner = out.Row(y)[3 * x],
                        inside = out.Row(y + 40 * dy)[3 * (x + 40 * dx)];
    EXPECT_NEAR(corner, inside, 4 * 257) << x << "," << y;
  }
}

// ---- names and refusals -------------------------------------------------------------------

TEST(OutputNames, FieldsAndRefusals) {
  std::string error;
  const auto names = TNameTemplate::Parse("cup-{index:03}-{name}", error);
  ASSERT_TRUE(names);
  EXPECT_EQ(names->Make("/shoot/IMG_0042.CR2", 7), "cup-007-IMG_0042");
  EXPECT_EQ(names->Make("/shoot/a.b.jpg", 1234), "cup-1234-a.b");
  EXPECT_EQ(TNameTemplate::Parse("{index}", error)->Make("x.jpg", 12), "12");
  for (const char* bad : {"{nam}", "{index:3}", "{name", "name}", "fixed", "", "a/{name}",
                          "{index:00}", "..\\{name}", "{name}\n", "\x1b{index}"}) {
    SCOPED_TRACE(bad);
    error.clear();
    EXPECT_FALSE(TNameTemplate::Parse(bad, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(PhotoBatch, PlanRefusesCollisionsAndOriginals) {
  TempDir dir;
  for (const char* name : {"a.jpg", "a.png", "b.jpg"})
    test::WriteSolid(dir.File(name), 4, 4, 1, 2, 3);
  TPrepSettings settings;
  std::vector<std::string> outputs;
  std::string error;
  EXPECT_TRUE(Failed(
      PlanOutputs({dir.File("a.jpg"), dir.File("a.png")}, dir.File("out"), settings, outputs),
      &error));
  EXPECT_NE(error.find("would both be written as a.jpg"), std::string::npos) << error;
  // Into the photos' own folder, as JPEG, with their own names: refused.
  EXPECT_TRUE(Failed(PlanOutputs({dir.File("b.jpg")}, dir.Path(), settings, outputs), &error));
  EXPECT_NE(error.find("originals are never written over"), std::string::npos) << error;
  settings.NameTemplate = "{name}-even";
  EXPECT_TRUE(Ok(PlanOutputs({dir.File("b.jpg")}, dir.Path(), settings, outputs)));
  EXPECT_EQ(outputs, std::vector<std::string>{dir.File("b-even.jpg")});
  settings.Geometry.LevelDegrees = 50;
  EXPECT_TRUE(Failed(PlanOutputs({dir.File("b.jpg")}, dir.Path(), settings, outputs)));
  settings.Geometry = {};
  settings.MatchExposure = true;
  settings.Reference = 3;
  EXPECT_TRUE(Failed(PlanOutputs({dir.File("b.jpg")}, dir.Path(), settings, outputs)));
  EXPECT_TRUE(Failed(PlanOutputs({dir.File("b.jpg")}, dir.File("a.jpg"), TPrepSettings{}, outputs),
                     &error));
  EXPECT_NE(error.find("is a file, not a folder"), std::string::npos);
  // An earlier output the user protected stays.
  std::filesystem::create_directory(dir.File("out"));
  test::WriteSolid(dir.File("out/b.jpg"), 4, 4, 1, 2, 3);
  std::filesystem::permissions(dir.File("out/b.jpg"), std::filesystem::perms::owner_read);
  EXPECT_TRUE(
      Failed(PlanOutputs({dir.File("b.jpg")}, dir.File("out"), TPrepSettings{}, outputs), &error));
  EXPECT_NE(error.find("write-protected"), std::string::npos) << error;
}

TEST(PhotoBatch, PlanRefusesSystemFoldersTheHomeAndNamesNoFolderTakes) {
  TempDir dir;
  test::WriteSolid(dir.File("b.jpg"), 4, 4, 1, 2, 3);
  std::vector<std::string> outputs;
  for (const char* place : {"/", "/usr/local", "/etc/cron.d", "/home", "/tmp/"}) {
    const TPrepResult r = PlanOutputs({dir.File("b.jpg")}, place, {}, outputs);
    EXPECT_EQ(r.Fault, TPrepFault::UnsafeFolder) << place;
    EXPECT_EQ(r.Code, TErrorCode::UnsafeFolder) << place;
    EXPECT_EQ(r.Other, "") << place;
  }
  const char* home = std::getenv("HOME");
  const std::string oldHome = home ? home : "";
  setenv("HOME", dir.Path().c_str(), 1);
  TPrepResult r = PlanOutputs({dir.File("b.jpg")}, dir.Path(), {}, outputs);
  EXPECT_EQ(r.Fault, TPrepFault::UnsafeFolder);
  EXPECT_EQ(r.Other, "home");
  EXPECT_TRUE(Ok(PlanOutputs({dir.File("b.jpg")}, dir.File("out"), {}, outputs)));
  setenv("HOME", oldHome.c_str(), 1);

  // A photo whose own name holds a line break or a "\\" gives no output name.
  const std::string odd = dir.File("a\nb.jpg");
  test::WriteSolid(odd, 4, 4, 1, 2, 3);
  r = PlanOutputs({odd}, dir.File("out"), {}, outputs);
  EXPECT_EQ(r.Fault, TPrepFault::BadName);
  EXPECT_EQ(r.Other, "a\nb.jpg");
  TPrepSettings numbered;
  numbered.NameTemplate = "shoe-{index}";
  EXPECT_TRUE(Ok(PlanOutputs({odd}, dir.File("out"), numbered, outputs)));
}

TEST(PhotoBatch, CollectsFoldersInNameOrder) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("shoot"));
  for (const char* name : {"p10.jpg", "P3.png", "p2.tif"})
    test::WriteSolid(dir.File(std::string("shoot/") + name), 4, 4, 1, 2, 3);
  std::filesystem::copy_file(dir.File("shoot/p10.jpg"), dir.File("shoot/notes.txt"));
  std::vector<std::string> files;
  ASSERT_TRUE(Ok(CollectPhotoFiles({dir.File("shoot")}, files)));
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(std::filesystem::path(files[0]).filename(), "p2.tif");
  EXPECT_EQ(std::filesystem::path(files[1]).filename(), "P3.png");
  EXPECT_EQ(std::filesystem::path(files[2]).filename(), "p10.jpg");
  files.clear();
  std::string error;
  EXPECT_TRUE(Failed(CollectPhotoFiles({dir.File("shoot/notes.txt")}, files), &error));
  EXPECT_NE(error.find("not a photo file"), std::string::npos);
  EXPECT_TRUE(Failed(CollectPhotoFiles({dir.File("gone")}, files), &error));
  EXPECT_NE(error.find("no such file or folder"), std::string::npos);
}

// Six shots of a turntable darker, brighter and tinted by up to 20 %, one
// PNG and one TIFF among them: matched, they come out 600 wide with means
// within 3 % of each other.
TEST(PhotoBatch, ASixPhotoShootComesOutEven) {
  TempDir dir;
  const std::array<std::array<double, 3>, 6> light = {{{1, 1, 1},
                                                       {0.8, 0.8, 0.8},
                                                       {1.2, 1.2, 1.2},
                                                       {1.15, 1.0, 0.85},
                                                       {0.85, 0.95, 1.2},
                                                       {1.1, 0.88, 1.0}}};
  const char* names[] = {"s1.jpg", "s2.jpg", "s3.png", "s4.jpg", "s5.tif", "s6.jpg"};
  std::vector<std::string> inputs;
  for (int i = 0; i < 6; ++i) {
    TRgbImage shot;
    const std::string sample =
        test::SamplesDir() + "/turntable/turntable_0" + std::to_string(i) + ".jpg";
    ASSERT_TRUE(Ok(LoadPhoto(sample, 0, shot, nullptr)));
    inputs.push_back(dir.File(names[i]));
    Save(Lit(shot, light[i]), inputs.back());
  }
  // Unmatched, they differ: the check below can fail.
  for (const int run : {0, 1, 2}) {
    const bool match = run > 0, white = run == 2;
    SCOPED_TRACE(run);
    TPrepSettings settings;
    settings.MatchExposure = match;
    settings.WhiteBackground = white;
    settings.Output.LongestSide = 600;
    const std::string out = dir.File("run" + std::to_string(run));
    const std::atomic<bool> cancel{false};
    const TPrepReport report = RunPreparation(inputs, out, settings, nullptr, cancel);
    ASSERT_TRUE(Ok(report.Result));
    ASSERT_EQ(report.Written(), 6);
    std::vector<std::array<double, 3>> means;
    for (const TPrepItem& item : report.Items) {
      TRgbImage written;
      ASSERT_TRUE(Ok(LoadPhoto(item.Output, 0, written, nullptr)));
      EXPECT_EQ(written.Width, 600);
      means.push_back(Means(written));
    }
    double spread = 0;
    for (int c = 0; c < 3; ++c) {
      double low = 1, high = 0;
      for (const auto& m : means) {
        low = std::min(low, m[c]);
        high = std::max(high, m[c]);
      }
      spread = std::max(spread, high / low);
    }
    if (match) {
      EXPECT_LT(spread, 1.03);
    } else {
      EXPECT_GT(spread, 1.05);
    }
  }
}

std::pair<int, int> SizeOf(const std::string& path) {
  const vips::VImage image = vips::VImage::new_from_file(path.c_str());
  return {image.width(), image.height()};
}

// JPEG decodes at half size round their own way, a levelled photo turns
// within its frame, and a small photo is not blown up: still one size.
TEST(PhotoBatch, EveryPhotoOfARunIsWrittenAtOneSizeNeverEnlarged) {
  TempDir dir;
  const std::vector<std::string> inputs = {dir.File("a.jpg"), dir.File("b.png"), dir.File("c.jpg"),
                                           dir.File("d.jpg")};
  Save(Studio(1600, 1227), inputs[0]);
  Save(Studio(1600, 1227), inputs[1]);
  Save(Studio(1600, 1227), inputs[2]);
  Save(Studio(1200, 920), inputs[3]);
  TPrepSettings settings;
  settings.Levels[inputs[2]] = 2.5;
  settings.Output.LongestSide = 600;
  const std::atomic<bool> cancel{false};
  TPrepReport report = RunPreparation(inputs, dir.File("small"), settings, nullptr, cancel);
  ASSERT_TRUE(Ok(report.Result));
  ASSERT_EQ(report.Written(), 4);
  for (const TPrepItem& item : report.Items)
    EXPECT_EQ(SizeOf(item.Output), std::pair(600, 460)) << item.Output;
  // Asked for more than the smallest photo has: its size, for all.
  settings.Output.LongestSide = 2000;
  report = RunPreparation(inputs, dir.File("large"), settings, nullptr, cancel);
  ASSERT_EQ(report.Written(), 4);
  for (const TPrepItem& item : report.Items)
    EXPECT_EQ(SizeOf(item.Output), std::pair(1200, 920)) << item.Output;
  settings.Output.Enlarge = true;
  report = RunPreparation(inputs, dir.File("enlarged"), settings, nullptr, cancel);
  ASSERT_EQ(report.Written(), 4);
  for (const TPrepItem& item : report.Items)
    EXPECT_EQ(SizeOf(item.Output), std::pair(2000, 1534)) << item.Output;
  // A photo of another shape cannot join the spin.
  Save(Studio(900, 1200), dir.File("e.jpg"));
  settings.Output.LongestSide = 600;
  std::vector<std::string> mixed = inputs;
  mixed.push_back(dir.File("e.jpg"));
  report = RunPreparation(mixed, dir.File("mixed"), settings, nullptr, cancel);
  EXPECT_EQ(report.Written(), 4);
  EXPECT_EQ(report.Items[4].Result.Fault, TPrepFault::OtherShape);
}

TEST(PhotoBatch, ASecondRunNeverMixesItsPhotosWithTheFirsts) {
  TempDir dir;
  std::vector<std::string> inputs;
  for (int i = 0; i < 4; ++i) {
    inputs.push_back(dir.File("p" + std::to_string(i) + ".png"));
    Save(Studio(80, 60), inputs.back());
  }
  const std::string out = dir.File("out");
  TPrepSettings settings;
  settings.NameTemplate = "shoe-{index:03}";
  const std::atomic<bool> cancel{false};
  ASSERT_EQ(RunPreparation(inputs, out, settings, nullptr, cancel).Written(), 4);
  std::ofstream(out + "/notes.txt") << "the user's";
  const auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(out))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> first = listing();

  // A shorter second shoot is refused and changes nothing.
  const std::vector<std::string> two(inputs.begin(), inputs.begin() + 2);
  TPrepReport report = RunPreparation(two, out, settings, nullptr, cancel);
  EXPECT_EQ(report.Result.Fault, TPrepFault::EarlierRun);
  EXPECT_EQ(report.Result.Names.size(), 4u);
  EXPECT_EQ(listing(), first);

  // Asked to, the first run's photos go; a link among them goes as a link.
  std::ofstream(dir.File("keep.jpg")) << "elsewhere";
  std::filesystem::remove(out + "/shoe-004.jpg");
  std::filesystem::create_symlink(dir.File("keep.jpg"), out + "/shoe-004.jpg");
  settings.ReplaceEarlier = true;
  report = RunPreparation(two, out, settings, nullptr, cancel);
  ASSERT_TRUE(Ok(report.Result));
  EXPECT_EQ(listing(),
            (std::vector<std::string>{".fotomill", "notes.txt", "shoe-001.jpg", "shoe-002.jpg"}));
  EXPECT_EQ(test::ReadText(dir.File("keep.jpg")), "elsewhere");

  // Files we did not write are never replaced, nor is anything removed
  // for a run that is refused; the mark reaches no further than its folder.
  std::ofstream(out + "/shoe-003.jpg") << "not ours";
  std::ofstream(out + "/" + TOutputFolder::kMarkName, std::ios::app) << "../keep.jpg\n";
  report = RunPreparation(inputs, out, settings, nullptr, cancel);
  EXPECT_EQ(report.Result.Fault, TPrepFault::NotOurs);
  EXPECT_EQ(report.Result.Names, std::vector<std::string>{"shoe-003.jpg"});
  EXPECT_EQ(test::ReadText(out + "/shoe-003.jpg"), "not ours");
  EXPECT_TRUE(std::filesystem::exists(out + "/shoe-001.jpg"));
  std::filesystem::remove(out + "/shoe-003.jpg");
  ASSERT_TRUE(Ok(RunPreparation(inputs, out, settings, nullptr, cancel).Result));
  EXPECT_TRUE(std::filesystem::exists(dir.File("keep.jpg")));
  EXPECT_EQ(listing().size(), 6u);  // the mark, the notes and four photos
}

TEST(PhotoBatch, EachPhotoFailsWithItsOwnReason) {
  TempDir dir;
  const std::vector<std::string> inputs = {dir.File("bad_text.jpg"), dir.File("good.png"),
                                           dir.File("truncated.jpg")};
  std::ofstream(inputs[0]) << "these are words, not a photo";
  Save(Studio(300, 200), inputs[1]);
  Save(Studio(300, 200), inputs[2]);
  std::filesystem::resize_file(inputs[2], std::filesystem::file_size(inputs[2]) / 2);
  const std::atomic<bool> cancel{false};
  // Twice: what one run left behind must not show in the next.
  for (int run = 0; run < 2; ++run) {
    const TPrepReport report =
        RunPreparation(inputs, dir.File("out" + std::to_string(run)), {}, nullptr, cancel);
    ASSERT_TRUE(Ok(report.Result));
    const TPrepResult& text = report.Items[0].Result;
    const TPrepResult& cut = report.Items[2].Result;
    EXPECT_EQ(text.Fault, TPrepFault::NotAnImage);
    EXPECT_EQ(cut.Fault, TPrepFault::CutOff);
    EXPECT_EQ(cut.Subject, inputs[2]);
    EXPECT_TRUE(report.Items[1].Result.Ok());
    for (const auto& [own, other] : {std::pair{&text, "truncated"}, std::pair{&cut, "bad_text"}}) {
      EXPECT_EQ(own->Error.find(other), std::string::npos) << own->Error;
      EXPECT_EQ(own->Error.find("Vips"), std::string::npos) << own->Error;
    }
  }
}

// Four photos of 800 MB of pixels each (6 GB when read whole at once):
// read reduced, a few at a time; one too large is named with its reason.
TEST(PhotoBatch, HugePhotosTakeBoundedMemory) {
  TempDir dir;
  WriteWebpBomb(dir.File("a.webp"));
  std::vector<std::string> inputs{dir.File("a.webp")};
  for (const char* name : {"b.webp", "c.webp", "d.webp"}) {
    std::filesystem::copy_file(dir.File("a.webp"), dir.File(name));
    inputs.push_back(dir.File(name));
  }
  test::WriteHugePng(dir.File("e.png"), 16383, 16383, 16, 6);
  inputs.push_back(dir.File("e.png"));
  TPrepSettings settings;
  settings.Output.LongestSide = 600;
  const std::atomic<bool> cancel{false};
  const test::PeakMemory memory;
  const TPrepReport report = RunPreparation(inputs, dir.File("out"), settings, nullptr, cancel);
  if (test::kPeakMemoryMeasured) {
    EXPECT_LT(memory.PeakGrowth(), 400LL << 20);
  }
  ASSERT_TRUE(Ok(report.Result));
  EXPECT_EQ(report.Written(), 4);
  EXPECT_EQ(report.Items[4].Result.Fault, TPrepFault::TooLarge);
  EXPECT_EQ(report.Items[4].Result.Subject, dir.File("e.png"));
}

TEST(PhotoBatch, ACancelLeavesOnlyWholeFiles) {
  TempDir dir;
  std::vector<std::string> inputs;
  for (int i = 0; i < 4; ++i) {
    inputs.push_back(dir.File("p" + std::to_string(i) + ".png"));
    Save(Studio(80, 60), inputs.back());
  }
  TPrepSettings settings;
  std::atomic<bool> cancel{false};
  const TPrepReport report = RunPreparation(
      inputs, dir.File("out"), settings, [&](int, const TPrepItem&) { cancel = true; }, cancel);
  EXPECT_EQ(report.Result.Code, TErrorCode::Cancelled);
  EXPECT_GE(report.Written(), 1);
  EXPECT_LT(report.Written(), 4);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File("out"))) {
    if (entry.path().filename() == TOutputFolder::kMarkName) continue;
    ++files;
    EXPECT_EQ(entry.path().extension(), ".jpg");
  }
  EXPECT_EQ(files, report.Written());
}

}  // namespace
}  // namespace kalvane
