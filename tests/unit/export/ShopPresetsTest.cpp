#include "export/ShopPresets.h"

#include <gtest/gtest.h>

#include "project/IniFile.h"

namespace kalvane {
namespace {

TEST(ShopPresets, TheDefaultsAreWhatTheirNamesPromise) {
  const std::vector<TShopPreset> presets = DefaultShopPresets();
  ASSERT_EQ(presets.size(), 6u);
  const TShopPreset& amazon = presets[0];
  EXPECT_EQ(amazon.Count, 72);
  EXPECT_EQ(amazon.Size, 2000);
  EXPECT_TRUE(amazon.Square && amazon.Zip);
  EXPECT_EQ(amazon.Background, "white");
  EXPECT_EQ(presets[4].Kind, TShopPreset::TKind::Animation);
  EXPECT_EQ(presets[4].Width, 500);
  EXPECT_EQ(presets[4].Fps, 8);
  for (const TShopPreset& video : {presets[2], presets[3]}) {
    EXPECT_EQ(video.Kind, TShopPreset::TKind::Video);
    EXPECT_EQ(video.Width, 1080);
    EXPECT_EQ(video.MinSeconds, 6);
    EXPECT_EQ(video.VideoQuality, 75);
  }
  EXPECT_TRUE(presets[2].WithWebp && !presets[3].WithWebp);
  const TShopPreset& walmart = presets[5];
  EXPECT_EQ(walmart.Count, 24);
  EXPECT_EQ(walmart.MaxBytes, 1'500'000u);
  EXPECT_TRUE(walmart.Square && !walmart.Zip);
  EXPECT_EQ(PresetMarketplace(amazon), TMarketplace::Amazon);
  EXPECT_EQ(PresetMarketplace(walmart), TMarketplace::Walmart);
  EXPECT_FALSE(PresetMarketplace(presets[1]).has_value());
  // The request carries the limit and asks for the check.
  TExportRequest request;
  ASSERT_TRUE(MakeShopRequest(walmart, "/tmp/set", "shoe", request).Ok());
  EXPECT_EQ(request.Set.MaxBytes, 1'500'000u);
  EXPECT_EQ(request.CheckFor, TMarketplace::Walmart);
  TShopPreset png = walmart;
  png.Format = "png";
  EXPECT_EQ(MakeShopRequest(png, "/tmp/set", "shoe", request).Code, TErrorCode::BadSetting);
}

TEST(ShopPresets, ASetAskingMorePhotosThanTheProjectHasTakesWhatAMarketplaceAccepts) {
  std::vector<TShopPreset> presets = DefaultShopPresets();
  const TShopPreset& amazon = presets[0];
  EXPECT_EQ(ShopFrameCount(amazon, 100), 72);
  EXPECT_EQ(ShopFrameCount(amazon, 71), 48);
  EXPECT_EQ(ShopFrameCount(amazon, 24), 24);  // the sample project
  EXPECT_EQ(ShopFrameCount(amazon, 23), 23);  // fewer than any: every photo
  TShopPreset fewer = amazon;
  fewer.Count = 30;
  EXPECT_EQ(ShopFrameCount(fewer, 29), 24);
  TShopPreset spin = presets[1];
  EXPECT_EQ(ShopFrameCount(spin, 10), 0);  // every photo
  spin.Count = 72;
  EXPECT_EQ(ShopFrameCount(spin, 50), 50);
  // what the editor names beside the count
  EXPECT_EQ(PossibleCounts(amazon, 100), (std::vector<int>{72, 48, 24}));
  EXPECT_EQ(PossibleCounts(amazon, 36), (std::vector<int>{24}));
  EXPECT_TRUE(PossibleCounts(amazon, 23).empty());
  EXPECT_TRUE(MarketplaceCounts(spin).empty());
}

TEST(ShopPresets, EditsComeBackFromTheSettingsAndBadValuesAreIgnored) {
  std::vector<TShopPreset> presets = DefaultShopPresets();
  presets[1].Count = 24;
  presets[1].Background = "#A0B0C0";
  presets[1].Format = "webp";
  presets[1].Name = "{angle:03}";
  presets[1].Square = true;
  presets[4].Fps = 12.5;
  presets[4].Loops = 3;
  presets[4].AnimationFormat = "gif";
  presets[3].VideoFormat = "webm";
  presets[3].MinSeconds = 2.5;
  presets[3].VideoQuality = 0;
  TIniFile file = TIniFile::Parse("[main]\nLeft=10\n");
  SaveShopPresets(file, presets, 4);
  file.Write("shopexport", "amazon.Quality", "101");     // out of range
  file.Write("shopexport", "amazon.Format", "bmp");      // unknown
  file.Write("shopexport", "amazon.Background", "red");  // not a colour we read
  file.Write("shopexport", "shopify.Fps", "0");
  file.Write("shopexport", "shopify.Format", "webm");  // Shopify's pair is an MP4

  std::vector<TShopPreset> read = DefaultShopPresets();
  int selected = 0;
  LoadShopPresets(TIniFile::Parse(file.ToText()), read, selected);
  EXPECT_EQ(selected, 4);
  EXPECT_EQ(read[1].Count, 24);
  EXPECT_EQ(read[1].Background, "#A0B0C0");
  EXPECT_EQ(read[1].Format, "webp");
  EXPECT_EQ(read[1].Name, "{angle:03}");
  EXPECT_TRUE(read[1].Square);
  EXPECT_EQ(read[4].Fps, 12.5);
  EXPECT_EQ(read[4].Loops, 3);
  EXPECT_EQ(read[4].AnimationFormat, "gif");
  EXPECT_EQ(read[3].VideoFormat, "webm");
  EXPECT_EQ(read[3].MinSeconds, 2.5);
  EXPECT_EQ(read[3].VideoQuality, 0);
  EXPECT_EQ(read[2].Fps, 8);
  EXPECT_EQ(read[2].VideoFormat, "mp4");
  EXPECT_EQ(read[0].Quality, 90);
  EXPECT_EQ(read[0].Format, "jpg");
  EXPECT_EQ(read[0].Background, "white");
  EXPECT_EQ(file.ReadInteger("main", "Left", -1), 10);  // other keys stay

  // The key names the preset chosen wherever it now stands.
  file.WriteInteger("shopexport", "Selected", 1);
  LoadShopPresets(file, read, selected);
  EXPECT_EQ(selected, 4);
  file.Write("shopexport", "SelectedKey", "gone");
  file.WriteInteger("shopexport", "Selected", 7);
  LoadShopPresets(file, read, selected);
  EXPECT_EQ(selected, 0);
}

TEST(ShopPresets, ARequestCarriesThePresetsSettings) {
  const std::vector<TShopPreset> presets = DefaultShopPresets();
  TExportRequest request;
  ASSERT_TRUE(MakeShopRequest(presets[0], "/out", "cup", request).Ok());
  EXPECT_EQ(request.Kind, TExportKind::FrameSet);
  EXPECT_EQ(request.Output, "/out");
  EXPECT_EQ(request.LongSide, 2000);
  EXPECT_EQ(request.Set.Count, 72);
  EXPECT_EQ(request.Set.Name, "cup");
  EXPECT_TRUE(request.Set.Zip && request.Set.Square);
  EXPECT_EQ(request.Set.Format, TImageFormat::Jpeg);
  EXPECT_EQ(request.Set.Quality, 90);

  ASSERT_TRUE(MakeShopRequest(presets[4], "/out/a.gif", "cup", request).Ok());
  EXPECT_EQ(request.Kind, TExportKind::Animation);
  EXPECT_EQ(request.Width, 500);
  EXPECT_EQ(request.Animation.Fps, 8);

  // Shopify's pair is named once; a video takes its format's extension.
  ASSERT_TRUE(MakeShopRequest(presets[2], "/out/turn.webm", "cup", request).Ok());
  EXPECT_EQ(request.Kind, TExportKind::Video);
  EXPECT_EQ(request.Output, "/out/turn.mp4");
  EXPECT_EQ(request.Video.Codec, TVideoCodec::H264);
  EXPECT_EQ(request.Video.MinSeconds, 6);
  EXPECT_EQ(request.Animation.Output, "/out/turn.webp");
  TShopPreset webm = presets[3];
  webm.VideoFormat = "webm";
  ASSERT_TRUE(MakeShopRequest(webm, "/out/my.turn", "cup", request).Ok());
  EXPECT_EQ(request.Output, "/out/my.turn.webm");
  EXPECT_EQ(request.Video.Codec, TVideoCodec::Vp9);
  EXPECT_TRUE(request.Animation.Output.empty());
  // A video extension typed in the name wins over the format chosen.
  TShopPreset mp4 = presets[3];
  mp4.VideoFormat = "mp4";
  ASSERT_TRUE(MakeShopRequest(mp4, "/out/turn.webm", "cup", request).Ok());
  EXPECT_EQ(request.Output, "/out/turn.webm");
  EXPECT_EQ(request.Video.Codec, TVideoCodec::Vp9);
  mp4.Width = 1081;  // video pictures have even sides
  EXPECT_EQ(MakeShopRequest(mp4, "/out/turn.mp4", "cup", request).Code, TErrorCode::BadSetting);
  webm.Fps = 0;
  EXPECT_EQ(MakeShopRequest(webm, "/out/a.webm", "cup", request).Code, TErrorCode::BadSetting);

  TShopPreset bad = presets[1];
  bad.Background = "blue";
  EXPECT_EQ(MakeShopRequest(bad, "/out", "cup", request).Code, TErrorCode::BadSetting);
}

}  // namespace
}  // namespace kalvane
