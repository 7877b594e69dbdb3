#include "export/AnimationOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "TestImages.h"
#include "export/LayerToSwf.h"

namespace kalvane {
namespace {

using test::Failed;
using test::Ok;

unsigned Byte(const std::string& b, std::size_t at) {
  return at < b.size() ? static_cast<unsigned char>(b[at]) : 0u;
}

// Each frame's time as the file keeps it: a GIF's graphic control
// extensions (hundredths of a second), a WebP's ANMF chunks (milliseconds).
std::vector<unsigned> StoredDelays(const std::string& path) {
  const std::string b = test::ReadText(path);
  std::vector<unsigned> delays;
  if (b.compare(0, 3, "GIF") == 0) {
    std::size_t at = 13;
    if (Byte(b, 10) & 0x80) at += 3u << ((Byte(b, 10) & 7) + 1);  // the global colour table
    const auto skipBlocks = [&] {
      while (at < b.size() && Byte(b, at) != 0)
        at += Byte(b, at) + 1;
      ++at;
    };
    while (at < b.size() && Byte(b, at) != 0x3B) {
      if (Byte(b, at) == 0x21) {
        if (Byte(b, at + 1) == 0xF9) delays.push_back(Byte(b, at + 4) | Byte(b, at + 5) << 8);
        at += 2;
        skipBlocks();
      } else if (Byte(b, at) == 0x2C) {
        const unsigned flags = Byte(b, at + 9);
        at += 10;
        if (flags & 0x80) at += 3u << ((flags & 7) + 1);
        ++at;  // the LZW code size
        skipBlocks();
      } else {
        ADD_FAILURE() << "not a block of a GIF at " << at;
        break;
      }
    }
  } else if (b.compare(8, 4, "WEBP") == 0) {
    for (std::size_t at = 12; at + 8 <= b.size();) {
      const std::size_t size = Byte(b, at + 4) | Byte(b, at + 5) << 8 | Byte(b, at + 6) << 16 |
                               static_cast<std::size_t>(Byte(b, at + 7)) << 24;
      if (b.compare(at, 4, "ANMF") == 0)
        delays.push_back(Byte(b, at + 20) | Byte(b, at + 21) << 8 | Byte(b, at + 22) << 16);
      at += 8 + size + (size & 1);
    }
  }
  return delays;
}

// `count` frames of photos of two colours in turn, each at the photo's size.
TExportPlan Photos(const test::TempDir& dir, int count, int w, int h) {
  test::WriteSolid(dir.File("a.png"), w, h, 200, 30, 30);
  test::WriteSolid(dir.File("b.png"), w, h, 30, 30, 200);
  TExportPlan plan;
  for (int i = 0; i < count; ++i)
    plan.Frames.push_back(
        {i, dir.File(i % 2 ? "b.png" : "a.png"), 0, {0, 0, w, h}, w, h, dir.File("f.jpg")});
  plan.Width = w;
  plan.Height = h;
  return plan;
}

TEST(AnimationRate, TheFileKeepsTheFrameTimeBrowsersShow) {
  test::TempDir dir;
  const TExportPlan plan = Photos(dir, 2, 16, 12);
  struct TCase {
    const char* Name;
    double Fps;
    unsigned Stored;  // in the file's units
  };
  for (const TCase& c :
       {TCase{"a.gif", 12, 8}, TCase{"a.gif", 50, 2}, TCase{"a.gif", 100.0 / 65535, 65535},
        TCase{"a.gif", 0.5, 200}, TCase{"a.webp", 12, 83}, TCase{"a.webp", 1000.0 / 11, 11},
        TCase{"a.webp", 90.9, 11}, TCase{"a.webp", 0.0001, 10000000},
        TCase{"a.webp", 1000.0 / 16777215, 16777215}}) {
    SCOPED_TRACE(std::string(c.Name) + " at " + std::to_string(c.Fps));
    TAnimationRequest r;
    r.Output = dir.File(c.Name);
    r.Format = *AnimationFormat(c.Name);
    r.Fps = c.Fps;
    ASSERT_TRUE(Ok(WriteAnimation(plan, r, nullptr)));
    EXPECT_EQ(StoredDelays(r.Output), std::vector<unsigned>(2, c.Stored));
  }
}

TEST(AnimationRate, RatesAFormatCannotCarryAreRefusedWithTheRange) {
  test::TempDir dir;
  const TExportPlan plan = Photos(dir, 2, 16, 12);
  const double inf = std::numeric_limits<double>::infinity();
  for (const double fps : {51.0, 67.0, 0.0015, 0.0001, 1e-320, 0.0, -1.0, inf, std::nan("")}) {
    std::string error;
    EXPECT_TRUE(Failed(CheckAnimationRate(TImageFormat::Gif, fps), &error)) << fps;
    EXPECT_NE(error.find("50 frames a second down to one frame every 655.35 seconds"),
              std::string::npos)
        << error;
  }
  for (const double fps : {91.0, 99.0, 0.00005, 1e-320}) {
    std::string error;
    EXPECT_TRUE(Failed(CheckAnimationRate(TImageFormat::Webp, fps), &error)) << fps;
    EXPECT_NE(error.find("11 to 16777215 milliseconds"), std::string::npos) << error;
  }
  TAnimationRequest r;
  r.Output = dir.File("fast.gif");
  r.Format = TImageFormat::Gif;
  r.Fps = 99;
  const TExportResult refused = WriteAnimation(plan, r, nullptr);
  EXPECT_EQ(refused.Code, TErrorCode::BadSetting);
  EXPECT_FALSE(std::filesystem::exists(r.Output));
}

// The frames wait on disk for the encoder: four times the frames take
// about the memory of a quarter of them (the first run settles the
// allocator and the libraries' own buffers; the frames kept in memory
// instead add half of the difference).
TEST(Animation, MemoryDoesNotGrowWithTheFrames) {
  test::TempDir dir;
  constexpr int kW = 1200, kH = 900;
  const auto peak = [&](int frames) {
    const TExportPlan plan = Photos(dir, frames, kW, kH);
    TAnimationRequest r;
    r.Output = dir.File("many.gif");
    r.Format = TImageFormat::Gif;
    const test::PeakMemory memory;
    EXPECT_TRUE(Ok(WriteAnimation(plan, r, nullptr)));
    EXPECT_EQ(StoredDelays(r.Output).size(), static_cast<std::size_t>(frames));
    return memory.PeakGrowth();
  };
  const long long few = peak(16), many = peak(64);
  const long long more = 3LL * kW * kH * 48;  // the pixels of the 48 frames more: 155 MB
  EXPECT_LT(many - few, more / 6) << few << " bytes for 16 frames, " << many << " for 64";
}

}  // namespace
}  // namespace kalvane
