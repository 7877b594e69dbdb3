#include "export/VideoOutput.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "TestImages.h"
#include "VideoRead.h"
#include "export/LayerToSwf.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;
using test::ReadVideo;
using test::TReadVideo;
using test::TRgb;

bool Near(const TRgb& a, const TRgb& b) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > 8) return false;
  return true;
}

std::string Show(const TRgb& c) {
  return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

// Three photos of one colour each, planned whole at an odd size as the
// planner may give it.
struct TThreePhotos {
  static constexpr int kW = 61, kH = 45;
  const std::vector<TRgb> Colours{{220, 30, 30}, {30, 200, 40}, {40, 50, 210}};
  explicit TThreePhotos(const test::TempDir& dir) {
    for (int i = 0; i < 3; ++i) {
      const std::string name = dir.File("p" + std::to_string(i) + ".png");
      test::WriteSolid(name, kW, kH, Colours[static_cast<std::size_t>(i)][0],
                       Colours[static_cast<std::size_t>(i)][1],
                       Colours[static_cast<std::size_t>(i)][2]);
      Plan.Frames.push_back({i, name, 0, {0, 0, kW, kH}, kW, kH, ""});
    }
    Plan.Width = kW;
    Plan.Height = kH;
  }
  TExportPlan Plan;
};

std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(".kalvane-") != std::string::npos)
      found.push_back(entry.path().filename().string());
  return found;
}

TEST(Video, WholeTurnsUntilTheShortestLength) {
  EXPECT_EQ(VideoTurns(24, 8, 0), 1);
  EXPECT_EQ(VideoTurns(24, 8, 3), 1);  // one turn lasts 3 s
  EXPECT_EQ(VideoTurns(24, 8, 3.01), 2);
  EXPECT_EQ(VideoTurns(24, 8, 6), 2);  // exactly two turns, not three
  EXPECT_EQ(VideoTurns(36, 8, 6), 2);  // 4.5 s is short, 9 s is enough
  EXPECT_EQ(VideoTurns(10, 8, 6), 5);
  EXPECT_EQ(VideoTurns(72, 24, 6), 2);
  EXPECT_EQ(VideoTurns(30, 29.97, 6), 6);  // five turns last 5.005 s
  EXPECT_EQ(VideoTurns(1, 100, 3600), 360000);
  EXPECT_EQ(VideoTurns(0, 8, 6), 1);
  for (int frames : {1, 7, 24, 36, 72})
    for (double fps : {1.0, 7.5, 8.0, 12.0, 29.97})
      for (double s : {0.5, 6.0, 10.0}) {
        const int turns = VideoTurns(frames, fps, s);
        EXPECT_GE(turns * frames / fps, s - 1e-6) << frames << " " << fps << " " << s;
        EXPECT_LT((turns - 1) * frames / fps, s) << frames << " " << fps << " " << s;
      }
}

TEST(Video, EvenSides) {
  // An odd height goes to the even neighbour nearer the exact height.
  EXPECT_EQ(EvenVideoSize(500, 375, 375.0).Height, 376);
  EXPECT_EQ(EvenVideoSize(500, 375, 374.6).Height, 374);
  EXPECT_EQ(EvenVideoSize(500, 375, 375.4).Height, 376);
  EXPECT_EQ(EvenVideoSize(500, 374, 374.4).Height, 374);
  EXPECT_EQ(EvenVideoSize(500, 374, 374.4).Width, 500);
  EXPECT_EQ(EvenVideoSize(1080, 1, 0.6).Height, 2);
  // An odd width (from the side limit) loses a pixel; the height follows.
  const TVideoSize tall = EvenVideoSize(417, 2500, 2500.0);
  EXPECT_EQ(tall.Width, 416);
  EXPECT_EQ(tall.Height, 2494);
  EXPECT_EQ(EvenVideoSize(2499, 2499, 2499.0).Height, 2498);
  EXPECT_EQ(EvenVideoSize(1, 1, 1.0).Width, 2);
  for (int w = 2; w < 60; ++w)
    for (int h = 1; h < 60; ++h) {
      const TVideoSize s = EvenVideoSize(w, h, h + 0.3);
      EXPECT_EQ(s.Width % 2, 0);
      EXPECT_EQ(s.Height % 2, 0);
      if (w % 2 == 0 && h > 1) {
        EXPECT_LE(std::abs(s.Height - h), 1) << w << "x" << h;
      }
    }
}

TEST(Video, QualityToTheEncodersLevel) {
  EXPECT_EQ(VideoCrf(TVideoCodec::H264, 75), 23);
  EXPECT_EQ(VideoCrf(TVideoCodec::H264, 0), 51);
  EXPECT_EQ(VideoCrf(TVideoCodec::H264, 100), 14);  // not 0: lossless does not play
  EXPECT_EQ(VideoCrf(TVideoCodec::Vp9, 75), 31);
  EXPECT_EQ(VideoCrf(TVideoCodec::Vp9, 0), 63);
  EXPECT_EQ(VideoCrf(TVideoCodec::Vp9, 100), 20);
  for (int q = 1; q <= 100; ++q) {
    EXPECT_LE(VideoCrf(TVideoCodec::H264, q), VideoCrf(TVideoCodec::H264, q - 1));
    EXPECT_LE(VideoCrf(TVideoCodec::Vp9, q), VideoCrf(TVideoCodec::Vp9, q - 1));
  }
}

TEST(Video, RefusedBeforeAnyFrameIsMade) {
  EXPECT_EQ(VideoCodecOf("/x/spin.MP4"), TVideoCodec::H264);
  EXPECT_EQ(VideoCodecOf("spin.webm"), TVideoCodec::Vp9);
  EXPECT_FALSE(VideoCodecOf("spin.mov"));
  EXPECT_FALSE(VideoCodecOf("mp4"));

  test::TempDir dir;
  TThreePhotos photos(dir);
  const auto refused = [&](TVideoRequest r, const std::string& says) {
    SCOPED_TRACE(says);
    std::string error;
    EXPECT_TRUE(test::Failed(CheckVideoRequest(r), &error));
    EXPECT_NE(error.find(says), std::string::npos) << error;
    const TExportResult written = WriteVideo(photos.Plan, r, nullptr);
    EXPECT_EQ(written.Code, TErrorCode::BadSetting);
    EXPECT_FALSE(fs::exists(r.Output));
  };
  TVideoRequest r;
  r.Output = dir.File("v.mp4");
  ASSERT_TRUE(test::Ok(CheckVideoRequest(r)));
  for (double fps : {0.0, -1.0, 100.5, 0.0099, 1e-320, std::nan("")}) {
    TVideoRequest bad = r;
    bad.Fps = fps;
    refused(bad, "the rate must be from 0.01 to 100 frames a second");
  }
  for (int quality : {-1, 101}) {
    TVideoRequest bad = r;
    bad.Quality = quality;
    refused(bad, "the quality must be from 0 to 100");
  }
  for (double seconds : {-1.0, 3601.0}) {
    TVideoRequest bad = r;
    bad.MinSeconds = seconds;
    refused(bad, "the shortest length");
  }
  TVideoRequest avi = r;
  avi.Output = dir.File("v.avi");
  refused(avi, "a video is written as .mp4 or .webm");
  TVideoRequest mixed = r;
  mixed.Codec = TVideoCodec::Vp9;
  refused(mixed, "the name says MP4");
  // No photos, no video.
  EXPECT_EQ(WriteVideo(TExportPlan{}, r, nullptr).Code, TErrorCode::NoItems);
  EXPECT_FALSE(fs::exists(r.Output));
}

TEST(Video, TheWriterTakesEvenSidesOnly) {
  test::TempDir dir;
  TVideoWriter writer;
  std::string error;
  EXPECT_TRUE(
      test::Failed(writer.Open(dir.File("a.mp4"), {TVideoCodec::H264, 61, 44, 8, 23}), &error));
  EXPECT_NE(error.find("even sides"), std::string::npos) << error;
  EXPECT_TRUE(test::Failed(writer.Open(dir.File("a.mp4"), {TVideoCodec::H264, 60, 44, 0, 23})));
  test::WriteSolid(dir.File("odd.png"), 61, 45, 1, 2, 3);
  const TIKImage odd = IKFileLoad(dir.File("odd.png"));
  EXPECT_TRUE(TVideoPicture::FromImage(odd, &error).IsEmpty());
  EXPECT_NE(error.find("61 x 45"), std::string::npos) << error;
  // A picture of another size than the video's is refused.
  ASSERT_TRUE(test::Ok(writer.Open(dir.File("a.mp4"), {TVideoCodec::H264, 60, 44, 8, 23})));
  test::WriteSolid(dir.File("small.png"), 40, 30, 1, 2, 3);
  const TVideoPicture small = TVideoPicture::FromImage(IKFileLoad(dir.File("small.png")));
  ASSERT_FALSE(small.IsEmpty());
  EXPECT_TRUE(test::Failed(writer.Write(small)));
  EXPECT_TRUE(test::Failed(writer.Finish()));  // no frame written
}

// MP4 and WebM read back by FFmpeg: codec, pixels, size, rate, duration,
// every frame in turn order with its colour; the turns repeated from the
// kept pictures and, over the memory budget, made again.
TEST(Video, ReadBackByFFmpeg) {
  struct TCase {
    TVideoCodec Codec;
    const char* Name;
    const char* Container;
    const char* CodecName;
    std::size_t KeepBytes;
  };
  for (const TCase& c :
       {TCase{TVideoCodec::H264, "v.mp4", "mov,mp4,m4a,3gp,3g2,mj2", "h264", std::size_t{1} << 20},
        TCase{TVideoCodec::Vp9, "v.webm", "matroska,webm", "vp9", 0}}) {
    SCOPED_TRACE(c.Name);
    test::TempDir dir;
    TThreePhotos photos(dir);
    TVideoRequest r;
    r.Output = dir.File(c.Name);
    r.Codec = c.Codec;
    r.Fps = 2;
    r.MinSeconds = 4;  // 3 frames a turn at 2 a second: three turns, 4.5 s
    r.KeepBytes = c.KeepBytes;
    const TExportResult result = WriteVideo(photos.Plan, r, nullptr);
    ASSERT_TRUE(test::Ok(result));
    EXPECT_EQ(result.Width, 60);  // 61 x 45 made even: 60 x 44
    EXPECT_EQ(result.Height, 44);
    EXPECT_EQ(result.Frames, std::vector<std::string>{r.Output});
    const TReadVideo v = ReadVideo(r.Output);
    ASSERT_EQ(v.Error, "");
    EXPECT_EQ(v.Container, c.Container);
    EXPECT_EQ(v.Codec, c.CodecName);
    EXPECT_EQ(v.PixelFormat, "yuv420p");
    EXPECT_EQ(v.Width, 60);
    EXPECT_EQ(v.Height, 44);
    EXPECT_DOUBLE_EQ(v.Fps, 2);
    EXPECT_NEAR(v.Seconds, 4.5, 0.01);
    ASSERT_EQ(v.Frames, 9);
    for (int i = 0; i < 9; ++i) {
      const TRgb& want = photos.Colours[static_cast<std::size_t>(i % 3)];
      EXPECT_TRUE(Near(v.Centres[static_cast<std::size_t>(i)], want))
          << "frame " << i << ": " << Show(v.Centres[static_cast<std::size_t>(i)]) << " for "
          << Show(want);
    }
    EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{});
  }
}

TEST(Video, TheIndexIsAtTheFrontOfAnMp4) {
  test::TempDir dir;
  TThreePhotos photos(dir);
  TVideoRequest r;
  r.Output = dir.File("front.mp4");
  ASSERT_TRUE(test::Ok(WriteVideo(photos.Plan, r, nullptr)));
  std::ifstream in(r.Output, std::ios::binary);
  std::vector<std::string> boxes;
  for (char head[8]; in.read(head, 8);) {
    const auto byte = [&head](int i) { return static_cast<std::uint32_t>(std::uint8_t(head[i])); };
    const std::uint32_t size = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    boxes.emplace_back(head + 4, 4);
    if (size < 8) break;
    in.seekg(size - 8, std::ios::cur);
  }
  ASSERT_GE(boxes.size(), 3u);
  EXPECT_EQ(boxes[0], "ftyp");
  EXPECT_EQ(boxes[1], "moov");
  const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
  const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
  EXPECT_LT(moov, mdat);
}

TEST(Video, AFailureOrCancelLeavesTheOldFile) {
  test::TempDir dir;
  TThreePhotos photos(dir);
  TVideoRequest r;
  r.Output = dir.File("kept.mp4");
  std::ofstream(r.Output) << "old";
  // A photo that is gone stops the video.
  TExportPlan missing = photos.Plan;
  missing.Frames[1].Source = dir.File("gone.png");
  const TExportResult lost = WriteVideo(missing, r, nullptr);
  EXPECT_EQ(lost.Code, TErrorCode::Unreadable);
  EXPECT_EQ(test::ReadText(r.Output), "old");
  // Cancelled before it starts, and in a turn shown again; the progress
  // counts every frame of every turn.
  std::atomic<bool> cancel{true};
  EXPECT_EQ(WriteVideo(photos.Plan, r, nullptr, &cancel).Code, TErrorCode::Cancelled);
  EXPECT_EQ(test::ReadText(r.Output), "old");
  struct TCancelAt : TProgressModel {
    std::atomic<bool>* Cancel = nullptr;
    int At = 0;
    void Repaint() override {
      if (Position == At) *Cancel = true;
    }
  } progress;
  cancel = false;
  progress.Cancel = &cancel;
  progress.At = 4;  // the second turn, from the kept pictures
  TVideoRequest longer = r;
  longer.MinSeconds = 2;
  EXPECT_EQ(WriteVideo(photos.Plan, longer, &progress, &cancel).Code, TErrorCode::Cancelled);
  EXPECT_EQ(progress.MaxValue, 3 * 6);  // 2 s at 8 a second: six turns of three
  EXPECT_EQ(progress.Position, 4);
  EXPECT_FALSE(progress.Shown);
  EXPECT_EQ(test::ReadText(r.Output), "old");
  EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{});
  // A folder is not replaced; a write-protected file neither.
  fs::create_directory(dir.File("folder.webm"));
  TVideoRequest folder = r;
  folder.Output = dir.File("folder.webm");
  folder.Codec = TVideoCodec::Vp9;
  EXPECT_EQ(WriteVideo(photos.Plan, folder, nullptr).Code, TErrorCode::WriteFailed);
  EXPECT_TRUE(fs::is_directory(folder.Output));
  chmod(r.Output.c_str(), 0444);
  std::string error;
  EXPECT_TRUE(test::Failed(WriteVideo(photos.Plan, r, nullptr), &error));
  EXPECT_NE(error.find("write-protected"), std::string::npos) << error;
  EXPECT_EQ(test::ReadText(r.Output), "old");
  chmod(r.Output.c_str(), 0644);
  // Written, it replaces the old file.
  ASSERT_TRUE(test::Ok(WriteVideo(photos.Plan, r, nullptr)));
  EXPECT_EQ(ReadVideo(r.Output).Frames, 3);
  EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace kalvane
