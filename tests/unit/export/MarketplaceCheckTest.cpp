#include "export/MarketplaceCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vips/vips8>

#include "TestImages.h"

namespace kalvane {
namespace {

using vips::VImage;

std::vector<std::uint8_t> Encoded(const VImage& image, const char* suffix) {
  void* buffer = nullptr;
  std::size_t size = 0;
  image.write_to_buffer(suffix, &buffer, &size);
  std::vector<std::uint8_t> bytes(static_cast<std::uint8_t*>(buffer),
                                  static_cast<std::uint8_t*>(buffer) + size);
  g_free(buffer);
  return bytes;
}

// A white 200 x 200 frame with a dark product at [50, 150) x [40, 160),
// and one pixel of the border `spot` grey (255: none).
VImage Product(int spot = 255) {
  std::vector<std::uint8_t> rgb(200 * 200 * 3, 255);
  for (int y = 40; y < 160; ++y)
    std::fill_n(rgb.begin() + (y * 200 + 50) * 3, 100 * 3, 30);
  rgb[150 * 200 * 3] = static_cast<std::uint8_t>(spot);
  return VImage(vips_image_new_from_memory_copy(rgb.data(), rgb.size(), 200, 200, 3,
                                                VIPS_FORMAT_UCHAR))
      .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

TEST(MarketplaceFrameFacts, BorderProductAndFormatAreMeasuredOnTheDecodedPicture) {
  std::string error;
  const auto png = MeasureFrame(Encoded(Product(243), ".png"), &error);
  ASSERT_TRUE(png) << error;
  EXPECT_EQ(png->Format, "png");
  EXPECT_EQ(png->RingWidth, 2);
  EXPECT_EQ(png->BorderLeast, 243);
  EXPECT_EQ(png->BorderX, 0);
  EXPECT_EQ(png->BorderY, 150);
  ASSERT_TRUE(png->HasProduct);
  EXPECT_EQ(png->Left, 50);
  EXPECT_EQ(png->Right, 150);
  EXPECT_EQ(png->Top, 40);
  EXPECT_EQ(png->Bottom, 160);
  // JPEG's ripple around the product stays out of its box and above the
  // border's limit.
  const auto jpeg = MeasureFrame(Encoded(Product(), ".jpg[Q=85]"), &error);
  ASSERT_TRUE(jpeg) << error;
  EXPECT_EQ(jpeg->Format, "jpeg");
  EXPECT_GE(jpeg->BorderLeast, 250);
  EXPECT_NEAR(jpeg->Left, 50, 1);
  EXPECT_NEAR(jpeg->Right, 150, 1);
  // Transparent is shown on white: a clear frame is all border, no product.
  const VImage clear = VImage::black(100, 100, VImage::option()->set("bands", 4))
                           .cast(VIPS_FORMAT_UCHAR)
                           .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  const auto empty = MeasureFrame(Encoded(clear, ".png"), &error);
  ASSERT_TRUE(empty) << error;
  EXPECT_EQ(empty->BorderLeast, 255);
  EXPECT_FALSE(empty->HasProduct);
  EXPECT_FALSE(MeasureFrame({'n', 'o', 't'}, &error));
  EXPECT_FALSE(MeasureFrame({0xFF, 0xD8, 0xFF, 0xE0, 0, 0}, &error));
  EXPECT_NE(error.find("cannot be decoded"), std::string::npos);
}

// A set that keeps every rule: 2000-pixel squares, white borders, the
// product centred and large enough, names numbered in order.
std::vector<TCheckedFrame> GoodSet(int count) {
  std::vector<TCheckedFrame> frames;
  for (int k = 1; k <= count; ++k) {
    TFrameFacts f;
    f.Format = "jpeg";
    f.Bytes = 400'000;
    f.Width = f.Height = 2000;
    f.RingWidth = 20;
    f.HasProduct = true;
    // Turning, it is wider in some frames than in others.
    f.Left = 150 + 10 * (k % 3);
    f.Right = 2000 - f.Left;
    f.Top = 100;
    f.Bottom = 1900;
    char name[32];
    std::snprintf(name, sizeof name, "shoe_%02d.jpg", k);
    frames.push_back({name, f, {}});
  }
  return frames;
}

std::vector<std::string> Failing(const TMarketplaceReport& report) {
  std::vector<std::string> failing;
  for (const TRuleCheck& rule : report.Rules)
    if (!rule.Passed) failing.push_back(rule.Rule);
  return failing;
}

TEST(MarketplaceRules, AGoodSetPassesAndEachBrokenRuleFailsAloneNamingTheFrame) {
  EXPECT_TRUE(Failing(CheckFrames(TMarketplace::Amazon, GoodSet(24))).empty());
  EXPECT_TRUE(Failing(CheckFrames(TMarketplace::Amazon, GoodSet(72))).empty());
  EXPECT_TRUE(Failing(CheckFrames(TMarketplace::Walmart, GoodSet(24))).empty());
  EXPECT_TRUE(Failing(CheckFrames(TMarketplace::Shopify, GoodSet(36))).empty());

  struct TCase {
    const char* Rule;
    TMarketplace For;
    std::function<void(std::vector<TCheckedFrame>&)> Break;
    const char* Fault;
  };
  auto facts = [](std::vector<TCheckedFrame>& s, int k) -> TFrameFacts& { return *s[k].Facts; };
  const std::vector<TCase> cases = {
      {"white border", TMarketplace::Amazon,
       [&](auto& s) {
         auto& f = facts(s, 6);
         f.BorderLeast = 243, f.BorderX = 0, f.BorderY = 412;
       },
       "frame 7 (shoe_07.jpg): border pixel (0, 412) = 243"},
      {"24, 48 or 72 frames", TMarketplace::Amazon, [](auto& s) { s = GoodSet(36); }, "36 frames"},
      {"square frames", TMarketplace::Amazon, [&](auto& s) { facts(s, 2).Height = 1900; },
       "frame 3 (shoe_03.jpg): 2000 x 1900"},
      {"1500 to 2500 pixels a side", TMarketplace::Amazon,
       [](auto& s) {
         for (auto& frame : s) {
           TFrameFacts& f = *frame.Facts;
           f.Width = f.Height = 2600;
           f.Left = f.Left * 13 / 10, f.Right = f.Right * 13 / 10;
           f.Top = f.Top * 13 / 10, f.Bottom = f.Bottom * 13 / 10;
         }
       },
       "frame 1 (shoe_01.jpg): 2600 x 2600"},
      {"the product fills", TMarketplace::Amazon,
       [](auto& s) {
         for (auto& frame : s)
           frame.Facts->Left = 600, frame.Facts->Right = 1400, frame.Facts->Top = 700,
           frame.Facts->Bottom = 1300;
       },
       "at most 40.0 % (frame 1 (shoe_01.jpg))"},
      {"the product centred", TMarketplace::Amazon,
       [](auto& s) {
         for (auto& frame : s)
           frame.Facts->Left -= 100, frame.Facts->Right -= 100;
       },
       "its middle lies at 45.0 % of the width"},
      {"frame names numbered in order", TMarketplace::Amazon,
       [](auto& s) {
         for (std::size_t k = 0; k < s.size(); ++k)
           s[k].Name = "shoe_" + std::to_string(k + 1) + ".jpg";
       },
       "frame 2 (shoe_2.jpg): a plain sort puts shoe_10.jpg here (pad the numbers with zeros)"},
      {"frame names numbered in order", TMarketplace::Shopify,
       [](auto& s) { s[4].Name = "shoe_06.jpg"; }, "frame 5 (shoe_06.jpg): number 6 after 4"},
      {"JPEG or PNG", TMarketplace::Walmart, [&](auto& s) { facts(s, 1).Format = "webp"; },
       "frame 2 (shoe_02.jpg): webp"},
      {"at most 1.5 MB", TMarketplace::Walmart, [&](auto& s) { facts(s, 0).Bytes = 2'013'442; },
       "frame 1 (shoe_01.jpg): 2,013,442 bytes"},
      {"exactly 24 frames", TMarketplace::Walmart, [](auto& s) { s.pop_back(); }, "23 frames"},
      {"at most 4472 pixels a side", TMarketplace::Google,
       [&](auto& s) { facts(s, 0).Width = 5000; }, "frame 1 (shoe_01.jpg): 5000 x 2000"},
      {"every frame a picture that can be read", TMarketplace::Amazon,
       [](auto& s) { s[3].Facts.reset(), s[3].Error = "cannot be decoded (truncated)"; },
       "frame 4 (shoe_04.jpg): cannot be decoded (truncated)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Fault);
    std::vector<TCheckedFrame> set = GoodSet(24);
    c.Break(set);
    const TMarketplaceReport report = CheckFrames(c.For, set);
    const std::vector<std::string> failing = Failing(report);
    ASSERT_EQ(failing.size(), 1u) << ReportTable(report);
    EXPECT_TRUE(failing[0].starts_with(c.Rule)) << failing[0];
    const auto rule = std::find_if(report.Rules.begin(), report.Rules.end(),
                                   [](const TRuleCheck& r) { return !r.Passed; });
    ASSERT_FALSE(rule->Faults.empty());
    EXPECT_EQ(rule->Faults.front(), c.Fault);
  }
}

TEST(MarketplaceRules, VideosAreMp4H264Yuv420pAndLongEnoughForGoogle) {
  const TVideoFacts good{"mov,mp4,m4a,3gp,3g2,mj2", "h264", "yuv420p", 6.0, 1080, 810};
  EXPECT_TRUE(CheckVideo(TMarketplace::Google, "spin.mp4", good).Passed());
  TVideoFacts shortOne = good;
  shortOne.Seconds = 3;
  EXPECT_FALSE(CheckVideo(TMarketplace::Google, "spin.mp4", shortOne).Passed());
  EXPECT_TRUE(CheckVideo(TMarketplace::Shopify, "spin.mp4", shortOne).Passed());
  const TVideoFacts webm{"matroska,webm", "vp9", "yuv420p", 6.0, 1080, 810};
  const TMarketplaceReport report = CheckVideo(TMarketplace::Shopify, "spin.webm", webm);
  EXPECT_EQ(Failing(report), std::vector<std::string>{"MP4 (H.264)"});
  EXPECT_EQ(report.Rules[0].Faults[0], "spin.webm: vp9 in matroska,webm");
  // A QuickTime file is read by the same demuxer, but is no MP4.
  EXPECT_FALSE(CheckVideo(TMarketplace::Google, "spin.mov", good).Passed());
}

TEST(MarketplaceRules, ASetIsReadFromAFolderOrAZipInTheOrderOfItsNames) {
  test::TempDir dir;
  TMarketplaceReport report;
  EXPECT_EQ(CheckForMarketplace(dir.File("none"), TMarketplace::Amazon, report).Code,
            TErrorCode::NotFound);
  EXPECT_EQ(CheckForMarketplace(dir.Path(), TMarketplace::Amazon, report).Code,
            TErrorCode::Unreadable);  // no frames
  for (const char* name : {"b_10.png", "b_2.png", ".hidden.png"})
    Product().pngsave(dir.File(name).c_str());
  std::ofstream(dir.File("notes.txt")) << "not a frame";
  ASSERT_TRUE(test::Ok(CheckForMarketplace(dir.Path(), TMarketplace::Shopify, report)));
  // Two frames, 2 before 10 (the hidden one and the text left out).
  const auto& names = report.Rules.back();
  EXPECT_EQ(names.Faults,
            (std::vector<std::string>{
                "frame 1 (b_2.png): a plain sort puts b_10.png here (pad the numbers with zeros)",
                "frame 2 (b_10.png): number 10 after 2"}));
  EXPECT_EQ(CheckForMarketplace(dir.File("b_2.png"), TMarketplace::Amazon, report).Code,
            TErrorCode::BadSetting);
  // A set written among other pictures is checked alone.
  ASSERT_TRUE(
      test::Ok(CheckFilesForMarketplace({dir.File("b_2.png")}, TMarketplace::Walmart, report)));
  EXPECT_EQ(report.Rules[1].Faults, std::vector<std::string>{"1 frames"});
}

}  // namespace
}  // namespace kalvane
