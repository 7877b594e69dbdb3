#include "swf/JpegProbe.h"

#include <gtest/gtest.h>

#include <fstream>

#include "SwfTestUtil.h"
#include "TestImages.h"

namespace kalvane {
namespace {

void Write(const std::string& path, const test::Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TEST(JpegProbe, WalksTheMarkersToTheFrameHeader) {
  test::TempDir dir;
  // SOI, APP0 of 4 bytes, fill bytes, RST0 without length, SOF1 640 x 480
  Write(dir.File("walk.jpg"),
        test::FromHex("FF D8 FF E0 00 04 AA BB FF FF FF D0 FF C1 00 11 08 01 E0 02 80 03"));
  auto size = ProbeJpegSize(dir.File("walk.jpg"));
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 640);
  EXPECT_EQ(size->height, 480);

  test::WriteJpeg(dir.File("real.jpg"), 500, 375);
  size = ProbeJpegSize(dir.File("real.jpg"));
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 500);
  EXPECT_EQ(size->height, 375);
}

TEST(JpegProbe, UnknownForOtherFilesProgressiveAndBrokenChains) {
  test::TempDir dir;
  Write(dir.File("png.jpg"), test::FromHex("89 50 4E 47 0D 0A 1A 0A"));
  test::WriteJpeg(dir.File("progressive.jpg"), 64, 48, true);
  Write(dir.File("short.jpg"), test::FromHex("FF D8 FF E0 00"));
  Write(dir.File("badlength.jpg"), test::FromHex("FF D8 FF E0 00 01 FF C0"));
  Write(dir.File("nomarker.jpg"), test::FromHex("FF D8 00 00"));
  for (const char* name : {"png.jpg", "progressive.jpg", "short.jpg", "badlength.jpg",
                           "nomarker.jpg", "missing.jpg"}) {
    EXPECT_FALSE(ProbeJpegSize(dir.File(name))) << name;
  }
}

TEST(JpegProbe, RandomMarkerChainsEndWithoutHarm) {
  test::TempDir dir;
  unsigned seed = 777;
  auto next = [&seed] { return seed = seed * 1103515245 + 12345; };
  for (int round = 0; round < 200; ++round) {
    test::Bytes bytes = {0xFF, 0xD8};
    for (int k = 0; k < 30; ++k) {
      bytes.push_back(next() % 4 ? 0xFF : static_cast<std::uint8_t>(next() >> 16));
      bytes.push_back(static_cast<std::uint8_t>(next() >> 16));
    }
    Write(dir.File("r.jpg"), bytes);
    const auto size = ProbeJpegSize(dir.File("r.jpg"));
    if (size) {
      EXPECT_GT(size->width, 0);
      EXPECT_GT(size->height, 0);
    }
  }
}

}  // namespace
}  // namespace kalvane
