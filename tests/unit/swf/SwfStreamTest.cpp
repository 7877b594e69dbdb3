#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

#include "SwfTestUtil.h"
#include "TestImages.h"
#include "swf/BasedSWFStream.h"
#include "swf/SWFControlTags.h"

namespace kalvane {
namespace {

using test::Bytes;
using test::Hex;

// A movie whose body is one ShowFrame, for the container alone.
class TOneFrameMovie : public TBasedSWFStream {
 public:
  using TBasedSWFStream::TBasedSWFStream;
  void BuildBody() override {
    BodyStream.Clear();
    TBitsEngine be(BodyStream);
    TSWFShowFrame show;
    show.WriteTag(be);
    be.PutUI16(0);
    FrameCount = 1;
  }
};

Bytes Saved(TBasedSWFStream& movie) {
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.Data();
}

TEST(SwfStream, HeaderOfThePlainMovie) {
  TOneFrameMovie movie(0, 0, 500, 375, 1.0, true);  // pixel units: the rect becomes twips
  movie.SetSwfVersion(6);
  EXPECT_EQ(movie.HeaderSize(), 21u);
  movie.BuildBody();
  EXPECT_EQ(Hex(Saved(movie)),
            "46 57 53 06 19 00 00 00 78 00 04 E2 00 00 0E A6 00 00 01 01 00 40 00 00 00");
}

TEST(SwfStream, FrameRateIsEightDotEight) {
  TOneFrameMovie movie;
  movie.SetFrameRate(12.5);
  EXPECT_EQ(movie.FrameRateValue(), 0x0C80);
  EXPECT_EQ(movie.GetFrameRate(), 12.5);
  movie.SetFrameRate(1.0);
  EXPECT_EQ(movie.FrameRateValue(), 0x0100);
  movie.SetFrameRate(29.97);  // .97 * 256 = 248.3
  EXPECT_EQ(movie.FrameRateValue(), 0x1DF8);
  movie.SetFrameRate(2.999);  // the fraction rounds up to a whole frame
  EXPECT_EQ(movie.FrameRateValue(), 0x0300);
  EXPECT_EQ(movie.HeaderSize(), 13u);  // zero rectangle
}

TEST(SwfStream, PixelUnitsScaleOnlyWhatComesAfter) {
  TOneFrameMovie movie(0, 0, 100, 50, 1.0, false);
  movie.SetPixelUnits(true);
  EXPECT_EQ(movie.GetFrameRect(), (TRect32{0, 0, 100, 50}));
  EXPECT_EQ(movie.UnitMultiplier(), 20);
}

TEST(SwfStream, CompressedMovieIsVersionSixAndInflatesToThePlainOne) {
  TOneFrameMovie plain(0, 0, 500, 375, 1.0, true);
  plain.BuildBody();
  const Bytes p = Saved(plain);
  TOneFrameMovie packed(0, 0, 500, 375, 1.0, true);
  packed.SetCompressed(true);
  packed.SetSwfVersion(5);
  EXPECT_EQ(packed.GetSwfVersion(), 6);
  packed.BuildBody();
  const Bytes c = Saved(packed);
  ASSERT_GT(c.size(), 8u);
  EXPECT_EQ(Hex(Bytes(c.begin(), c.begin() + 8)), "43 57 53 06 19 00 00 00");
  Bytes inflated(64);
  uLongf size = inflated.size();
  ASSERT_EQ(uncompress(inflated.data(), &size, c.data() + 8, c.size() - 8), Z_OK);
  inflated.resize(size);
  EXPECT_EQ(Hex(inflated), Hex(Bytes(p.begin() + 8, p.end())));

  TOneFrameMovie raised;
  raised.SetSwfVersion(5);
  raised.SetCompressed(true);  // set after the version: saving raises it
  raised.BuildBody();
  EXPECT_EQ(Saved(raised)[3], 6);
}

TEST(SwfStream, CompressionReportsProgressAsStageTwo) {
  TOneFrameMovie movie;
  movie.SetCompressed(true);
  int lastPercent = -1, stage = 0;
  movie.OnProgress = [&](TBasedSWFStream&, int percent, int s) {
    lastPercent = percent;
    stage = s;
  };
  movie.BuildBody();
  Saved(movie);
  EXPECT_EQ(stage, 2);
  EXPECT_EQ(lastPercent, 100);
}

TEST(SwfStream, SaveToFileReplacesTheOldFileOnlyWhenComplete) {
  test::TempDir dir;
  const std::string target = dir.File("movie.swf");
  {
    std::FILE* f = std::fopen(target.c_str(), "wb");
    std::fputs("old movie", f);
    std::fclose(f);
  }

  // a body that refers to a frame file which is gone when saving
  class TBrokenMovie : public TBasedSWFStream {
   public:
    void BuildBody() override { BodyStream.WriteFile("/nonexistent/frame.jpg", 10); }
  } broken;
  broken.BuildBody();
  try {
    broken.SaveToFile(target);
    FAIL() << "saving succeeded";
  } catch (const TSwfError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/frame.jpg"), std::string::npos);
  }
  EXPECT_EQ(Hex(test::ReadFile(target)), Hex(Bytes{'o', 'l', 'd', ' ', 'm', 'o', 'v', 'i', 'e'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  TOneFrameMovie good;
  good.BuildBody();
  good.SaveToFile(target);
  EXPECT_EQ(test::ReadFile(target).size(), 17u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::others_read,
            std::filesystem::perms::others_read);

  EXPECT_THROW(good.SaveToFile(dir.File("no/such/folder/movie.swf")), TSwfError);
}

}  // namespace
}  // namespace kalvane
