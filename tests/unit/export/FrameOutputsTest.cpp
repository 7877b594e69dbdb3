#include "export/FrameOutputs.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <vips/vips8>

#include "TestImages.h"
#include "export/FramePlanner.h"
#include "export/LayerToSwf.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;
using vips::VImage;

// A photo of one colour and its frame's plan at the photo's own size.
struct TOnePhoto {
  explicit TOnePhoto(const test::TempDir& dir, const std::string& name, int w, int h, int r = 200,
                     int g = 30, int b = 30) {
    test::WriteSolid(dir.File(name), w, h, r, g, b);
    Plan.Frames.push_back({0, dir.File(name), 0, {0, 0, w, h}, w, h, dir.File("0.jpg")});
    Plan.Width = w;
    Plan.Height = h;
  }
  TExportPlan Plan;
};

TEST(FrameSet, CountPicksPhotosEvenlyAroundTheTurn) {
  EXPECT_EQ(PickFrames(24, 8), (std::vector<int>{0, 3, 6, 9, 12, 15, 18, 21}));
  EXPECT_EQ(PickFrames(24, 5), (std::vector<int>{0, 4, 9, 14, 19}));
  EXPECT_EQ(PickFrames(7, 3), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(PickFrames(4, 0), (std::vector<int>{0, 1, 2, 3}));  // all by default
  EXPECT_EQ(PickFrames(4, 4), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(PickFrames(72, 72).size(), 72u);
}

TEST(FrameSet, NameTemplates) {
  EXPECT_EQ(FrameFileName("{name}_{index:02}", "shoe", 7, 105), "shoe_07");
  EXPECT_EQ(FrameFileName("{name}_{index:02}", "shoe", 123, 0), "shoe_123");
  EXPECT_EQ(FrameFileName("{index}-{angle:03}deg", "x", 3, 15), "3-015deg");
  EXPECT_EQ(FrameFileName("{angle}", "x", 1, 355), "355");
  for (const char* bad :
       {"{idx}", "{name", "name}", "a/{index}", "{name:02}", "{index:}", "{index:x2}",
        "{index:123}", "", "..", "..\\..\\x{index}", "a\n{index}", "{index}\r"}) {
    std::string error;
    EXPECT_EQ(FrameFileName(bad, "shoe", 1, 0, &error), "") << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  // The project's name as {name}: a Windows path or a line break in it is
  // no name of a frame or of a zip's entry.
  std::string error;
  EXPECT_EQ(FrameFileName("{name}_{index}", "..\\..\\win", 1, 0, &error), "");
  EXPECT_EQ(error,
            "the project's name \"..\\..\\win\" holds a \"\\\" or a control character, which no "
            "file name may hold; rename the project file or leave {name} out of the name template");
  EXPECT_EQ(FrameFileName("{name}_{index}", "a\nb", 1, 0, &error), "");
  EXPECT_NE(error.find("\"a\\nb\""), std::string::npos) << error;
  EXPECT_EQ(FrameFileName("x{index}", "a\nb", 1, 0), "x1");
}

TEST(FrameSet, BackgroundsAndFormats) {
  const std::optional<TCanvas> white = ParseBackground("white");
  ASSERT_TRUE(white);
  EXPECT_EQ(white->R + white->G + white->B, 3 * 255);
  EXPECT_FALSE(white->Transparent);
  const std::optional<TCanvas> pink = ParseBackground("#Ff0080");
  ASSERT_TRUE(pink);
  EXPECT_EQ(pink->R, 255);
  EXPECT_EQ(pink->G, 0);
  EXPECT_EQ(pink->B, 128);
  EXPECT_TRUE(ParseBackground("transparent")->Transparent);
  for (const char* bad : {"#fff", "red", "#gg0000", "#ff00001", ""})
    EXPECT_FALSE(ParseBackground(bad)) << bad;
  EXPECT_EQ(ParseStillFormat("jpg"), TImageFormat::Jpeg);
  EXPECT_EQ(ParseStillFormat("webp"), TImageFormat::Webp);
  EXPECT_FALSE(ParseStillFormat("tiff"));
  EXPECT_FALSE(ParseStillFormat("gif"));
  EXPECT_EQ(AnimationFormat("/x/spin.GIF"), TImageFormat::Gif);
  EXPECT_EQ(AnimationFormat("spin.webp"), TImageFormat::Webp);
  EXPECT_FALSE(AnimationFormat("spin.png"));
}

TEST(FrameSet, RefusedBeforeAnyFrameIsMade) {
  test::TempDir dir;
  TFrameSetRequest r;
  r.Folder = dir.File("set");
  r.Name = "shoe";
  EXPECT_TRUE(test::Ok(CheckFrameSet(r, 24)));
  std::string error;
  r.Count = 25;
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 24), &error));
  EXPECT_NE(error.find("the project has 24"), std::string::npos) << error;
  r.Count = 24;
  r.Background.Transparent = true;
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 24), &error));
  EXPECT_NE(error.find("JPEG cannot be transparent"), std::string::npos) << error;
  r.Format = TImageFormat::Png;
  EXPECT_TRUE(test::Ok(CheckFrameSet(r, 24)));
  r.Pattern = "{name}";  // every frame the same name
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 24), &error));
  EXPECT_NE(error.find("frames 1 and 2 would both be shoe.png"), std::string::npos) << error;
  r.Pattern = "{name}_{angle}";
  EXPECT_TRUE(test::Ok(CheckFrameSet(r, 24)));
  r.Count = 0;
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 720), &error)) << "720 photos in whole degrees";
  r.Count = 24;
  r.Folder = "/";
  EXPECT_EQ(CheckFrameSet(r, 24).Code, TErrorCode::UnsafeFolder);
  r.Folder = dir.File("file");
  std::ofstream(r.Folder) << "a file";
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 24), &error));
  EXPECT_NE(error.find("is a file"), std::string::npos) << error;

  r.Folder = dir.File("set");
  r.Zip = true;
  r.Pattern = "{angle}";
  r.Name = "..\\..\\win";  // the zip's name
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 24), &error));
  EXPECT_NE(error.find("cannot name the set"), std::string::npos) << error;
  r.Zip = false;
  r.Name = "shoe";
  fs::create_directories(dir.File("set/45.png"));
  EXPECT_TRUE(test::Failed(CheckFrameSet(r, 24), &error));
  EXPECT_EQ(error, dir.File("set/45.png") + ": is a folder, not a file; it is never replaced");

  r.Pattern = "{index}.PNG";  // the extension given is not doubled
  r.Count = 1;
  r.Folder = dir.File("one");
  TOnePhoto photo(dir, "p.png", 10, 10);
  const TExportResult one = WriteFrameSet(photo.Plan, r, nullptr);
  ASSERT_TRUE(one.Ok()) << one.Error;
  EXPECT_EQ(one.Frames, std::vector<std::string>{dir.File("one/1.PNG")});
}

TEST(FramePlanner, OneSizeForSetsAndAnimations) {
  // A box of 600 x 300 source pixels: the width at 500, or the longer side.
  TFrameInputs in{1.0, 1000, 1000, 0.1, 0.1, 0.7, 0.4, 0, 500};
  TFramePlanner wide(in, {true, 0});
  // Offsets that round the crops a pixel apart keep the one size.
  for (int x : {0, 1, 3}) {
    const TFramePlan p = wide.Plan(0, "a", x, x, "");
    EXPECT_EQ(p.Width, 500);
    EXPECT_EQ(p.Height, 250);
  }
  EXPECT_EQ(TFramePlanner(in, {true, 2000}).Plan(0, "a", 0, 0, "").Height, 1000);
  // A tall box: the longer side is the height.
  in = {1.0, 1000, 1000, 0.1, 0.1, 0.4, 0.7, 0, 500};
  const TFramePlan tall = TFramePlanner(in, {true, 1500}).Plan(0, "a", 0, 0, "");
  EXPECT_EQ(tall.Width, 750);
  EXPECT_EQ(tall.Height, 1500);
  // Within the movies' limit: at 2000 wide the height 4000 comes down to 2500.
  in.Width = 2000;
  const TFramePlan limited = TFramePlanner(in, {true, 0}).Plan(0, "a", 0, 0, "");
  EXPECT_EQ(limited.Width, 1250);
  EXPECT_EQ(limited.Height, 2500);
}

std::vector<double> PixelOf(const std::string& path, int x, int y) {
  return VImage::new_from_file(path.c_str()).getpoint(x, y);
}

TEST(FrameSet, SquarePaddingOnTheBackground) {
  test::TempDir dir;
  TOnePhoto photo(dir, "p.png", 40, 20);
  TFrameSetRequest r;
  r.Name = "p";
  r.Square = true;
  r.Folder = dir.File("white");
  TExportResult done = WriteFrameSet(photo.Plan, r, nullptr);
  ASSERT_TRUE(done.Ok()) << done.Error;
  ASSERT_EQ(done.Frames, std::vector<std::string>{dir.File("white/p_01.jpg")});
  EXPECT_EQ(done.Width, 40);
  EXPECT_EQ(done.Height, 40);
  VImage out = VImage::new_from_file(done.Frames[0].c_str());
  EXPECT_EQ(out.width(), 40);
  EXPECT_EQ(out.height(), 40);
  EXPECT_GT(PixelOf(done.Frames[0], 20, 3)[1], 240) << "white above";
  EXPECT_LT(PixelOf(done.Frames[0], 20, 20)[1], 60) << "the photo in the middle";

  r.Folder = dir.File("blue");
  r.Background = *ParseBackground("#0000ff");
  r.Format = TImageFormat::Png;
  done = WriteFrameSet(photo.Plan, r, nullptr);
  ASSERT_TRUE(done.Ok()) << done.Error;
  EXPECT_EQ(PixelOf(dir.File("blue/p_01.png"), 20, 37), (std::vector<double>{0, 0, 255}));
  EXPECT_EQ(PixelOf(dir.File("blue/p_01.png"), 20, 20), (std::vector<double>{200, 30, 30}));

  r.Folder = dir.File("clear");
  r.Background = *ParseBackground("transparent");
  for (TImageFormat format : {TImageFormat::Png, TImageFormat::Webp}) {
    r.Format = format;
    done = WriteFrameSet(photo.Plan, r, nullptr);
    ASSERT_TRUE(done.Ok()) << done.Error;
    VImage clear = VImage::new_from_file(done.Frames[0].c_str());
    ASSERT_EQ(clear.bands(), 4) << done.Frames[0];
    EXPECT_EQ(clear.getpoint(20, 2)[3], 0) << "transparent above";
    EXPECT_EQ(clear.getpoint(20, 20)[3], 255) << "the photo opaque";
  }
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FrameSet, AJpegFrameIsTheDataMoviesFrameByteForByte) {
  test::TempDir dir;
  test::WriteGradient(dir.File("g.jpg"), 300, 200);
  TExportPlan plan;
  plan.Frames.push_back(
      {0, dir.File("g.jpg"), 9000, {-10, 20, 190, 280}, 120, 156, dir.File("0.jpg")});
  plan.Width = 120;
  plan.Height = 156;
  ASSERT_TRUE(test::Ok(TImageTrimToJpeg().MakeFrame(plan.Frames[0])));
  TFrameSetRequest r;
  r.Name = "g";
  r.Folder = dir.File("set");
  const TExportResult done = WriteFrameSet(plan, r, nullptr);
  ASSERT_TRUE(done.Ok()) << done.Error;
  EXPECT_EQ(Bytes(done.Frames[0]), Bytes(dir.File("0.jpg")));
}

TEST(FrameSet, MovedInBesideOtherFilesOrZipped) {
  test::TempDir dir;
  TOnePhoto photo(dir, "p.png", 30, 20);
  photo.Plan.Frames.push_back(photo.Plan.Frames[0]);
  photo.Plan.Frames[1].Index = 1;
  fs::create_directories(dir.File("set"));
  std::ofstream(dir.File("set/notes.txt")) << "mine";
  std::ofstream(dir.File("set/p_02.jpg")) << "an earlier frame";
  TFrameSetRequest r;
  r.Name = "p";
  r.Folder = dir.File("set");
  TExportResult done = WriteFrameSet(photo.Plan, r, nullptr);
  ASSERT_TRUE(done.Ok()) << done.Error;
  EXPECT_EQ(test::ReadText(dir.File("set/notes.txt")), "mine");
  EXPECT_NE(test::ReadText(dir.File("set/p_02.jpg")), "an earlier frame");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2)
      << "the photo and the set; nothing left beside them";

  r.Folder = dir.File("zipped");
  r.Zip = true;
  r.Format = TImageFormat::Png;
  done = WriteFrameSet(photo.Plan, r, nullptr);
  ASSERT_TRUE(done.Ok()) << done.Error;
  ASSERT_EQ(done.Frames, std::vector<std::string>{dir.File("zipped/p.zip")});
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.File("zipped")), fs::directory_iterator()), 1);
  int error = 0;
  zip_t* zip = zip_open(done.Frames[0].c_str(), ZIP_RDONLY, &error);
  ASSERT_NE(zip, nullptr);
  ASSERT_EQ(zip_get_num_entries(zip, 0), 2);
  EXPECT_STREQ(zip_get_name(zip, 0, 0), "p_01.png");
  EXPECT_STREQ(zip_get_name(zip, 1, 0), "p_02.png");
  zip_discard(zip);
}

TEST(Animation, EveryFrameAPageWithTheRateAndTheLoop) {
  test::TempDir dir;
  // Three photos of other colours (an encoder may merge frames that are alike).
  TOnePhoto photo(dir, "p.png", 30, 20);
  for (int i = 1; i < 3; ++i) {
    const std::string name = "p" + std::to_string(i) + ".png";
    test::WriteSolid(dir.File(name), 30, 20, 30, 80 * i, 30);
    photo.Plan.Frames.push_back(photo.Plan.Frames[0]);
    photo.Plan.Frames.back().Index = i;
    photo.Plan.Frames.back().Source = dir.File(name);
  }
  for (const char* name : {"a.webp", "a.gif"}) {
    SCOPED_TRACE(name);
    TAnimationRequest r;
    r.Output = dir.File(name);
    r.Format = *AnimationFormat(name);
    r.Fps = 12;
    r.Loops = std::string(name) == "a.gif" ? 3 : 0;
    const TExportResult done = WriteAnimation(photo.Plan, r, nullptr);
    ASSERT_TRUE(done.Ok()) << done.Error;
    VImage read = VImage::new_from_file(r.Output.c_str(), VImage::option()->set("n", -1));
    EXPECT_EQ(read.get_int("n-pages"), 3);
    EXPECT_EQ(read.get_int("page-height"), 20);
    EXPECT_EQ(read.width(), 30);
    // 1000 / 12 ms; GIF keeps hundredths of a second
    EXPECT_EQ(read.get_array_int("delay")[0], r.Format == TImageFormat::Gif ? 80 : 83);
    EXPECT_EQ(read.get_int("loop"), r.Loops);
  }
}

}  // namespace
}  // namespace kalvane
