#include "swf/FlashMovie.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SwfTestUtil.h"
#include "TestImages.h"
#include "export/SwfList.h"
#include "swf/SWFControlTags.h"

namespace kalvane {
namespace {

using test::Bytes;
using test::Hex;
using test::TempDir;

Bytes Le16(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
Bytes Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}
void Append(Bytes& to, const Bytes& more) {
  to.insert(to.end(), more.begin(), more.end());
}

class MovieFiles : public testing::Test {
 protected:
  std::string Frame(const std::string& name, int w = 500, int h = 375) {
    const std::string path = dir.File(name);
    test::WriteJpeg(path, w, h);
    return path;
  }
  TempDir dir;
};

TEST_F(MovieFiles, CharacterIdsRunInCreationOrderAndFramesTakeNone) {
  TFlashMovie movie(0, 0, 100, 100, 1.0, true);
  TFlashImage* image = movie.AddImageFromFile(Frame("a.jpg"));
  TFlashShape* shape = movie.NewShape();
  movie.PlaceObject(shape, 1);
  movie.ShowFrame(0);
  TFlashShape* rect = movie.AddRectShape(0, 0, 10, 10);
  EXPECT_EQ(image->GetCharId(), 1);
  EXPECT_EQ(shape->GetCharId(), 2);
  EXPECT_EQ(shape->ShapeTag().ShapeId, 2);
  EXPECT_EQ(rect->GetCharId(), 3);
  EXPECT_EQ(movie.GetFrameCount(), 1);  // ShowFrame(0) is one frame
  EXPECT_EQ(movie.ImageList().Count(), 1);
  EXPECT_EQ(movie.ShapeList().Count(), 2);
}

TEST_F(MovieFiles, LongLinesAreSplitAndTheBitmapMovesBeforeItsShape) {
  TFlashMovie movie(0, 0, 4000, 100, 1.0, true);
  TFlashShape* shape = movie.NewShape();
  shape->Edges().LineTo(3500, 0);  // 70000 twips
  auto& records = shape->ShapeTag().ShapeRecords;
  ASSERT_EQ(records.size(), 3u);  // the first style change and two edges
  EXPECT_EQ(static_cast<TSWFStraightEdgeRecord&>(*records[1]).X, 35000);
  EXPECT_EQ(static_cast<TSWFStraightEdgeRecord&>(*records[2]).X, 35000);
  shape->Edges().LineTo(0, 0);
  EXPECT_EQ(records.size(), 3u);
  EXPECT_EQ(shape->Edges().PenX(), 70000);

  TFlashImage* image = movie.AddImageFromFile(Frame("late.jpg"));
  ASSERT_EQ(movie.ObjectAt(1), image);
  shape->SetBounds(0, 0, 500, 375);
  shape->SetBitmapFill(*image, 1, 1.0, 1.0);
  EXPECT_EQ(movie.ObjectAt(0), image);
  EXPECT_EQ(movie.ObjectAt(1), shape);
}

TEST_F(MovieFiles, BitmapFillModes) {
  TFlashMovie movie(0, 0, 500, 375, 1.0, true);
  TFlashImage* image = movie.AddImageFromFile(Frame("a.jpg", 250, 125));
  TFlashShape* shape = movie.AddRectShape(10, 20, 510, 395);
  TSWFImageFill* fit = shape->SetBitmapFill(*image, 1, 7.0, 7.0);
  EXPECT_EQ(fit->FillType, 0x41);
  EXPECT_EQ(fit->BitmapId, 1);
  EXPECT_EQ(fit->Matrix.TranslateX, 195);  // 200 - 5
  EXPECT_EQ(fit->Matrix.TranslateY, 395);
  EXPECT_EQ(fit->Matrix.ScaleX, 40 * 65536 + 240);  // 10000 / 250 + 15/4096
  EXPECT_EQ(fit->Matrix.ScaleY, 60 * 65536 + 240);  // 7500 / 125
  TSWFImageFill* clipped = shape->SetBitmapFill(*image, 0, 0.5, 2.0);
  EXPECT_EQ(clipped->FillType, 0x41);
  EXPECT_EQ(clipped->Matrix.ScaleX, 10 * 65536);
  EXPECT_EQ(clipped->Matrix.ScaleY, 40 * 65536);
  TSWFImageFill* tiled = shape->SetBitmapFill(*image, 2, 1.0, 1.0);
  EXPECT_EQ(tiled->FillType, 0x40);
  EXPECT_EQ(shape->ShapeTag().FillStyles.size(), 3u);
  // the first style change selects the fill added last
  EXPECT_EQ(static_cast<TSWFStyleChangeRecord&>(*shape->ShapeTag().ShapeRecords[0]).Fill1Id, 3);
}

TEST_F(MovieFiles, ImagesOtherThanBaselineJpegAreRefusedByName) {
  TFlashMovie movie(0, 0, 100, 100, 1.0, true);
  test::WriteSolid(dir.File("a.png"), 4, 4, 0, 0, 0);
  test::WriteJpeg(dir.File("p.jpg"), 40, 30, true);
  try {
    movie.AddImageFromFile(dir.File("a.png"));
    FAIL();
  } catch (const TSwfError& e) {
    EXPECT_NE(std::string(e.what()).find("Image format \"PNG\" not supported!"), std::string::npos);
  }
  try {
    movie.AddImageFromFile(dir.File("p.jpg"));
    FAIL();
  } catch (const TSwfError& e) {
    EXPECT_NE(std::string(e.what()).find("p.jpg"), std::string::npos);
  }
  EXPECT_EQ(movie.NextCharId(), 1);
}

// The PC data movie of two 500 x 375 frames, worked out from the layout:
// header, then per frame DefineBitsJPEG2 and DefineShape2, then per frame
// PlaceObject2 and ShowFrame, then End.
TEST_F(MovieFiles, PcDataMovieByteForByte) {
  const std::string f0 = Frame("0.jpg"), f1 = Frame("1.jpg");
  const Bytes j0 = test::ReadFile(f0), j1 = test::ReadFile(f1);
  TSwfList list;
  list.Add(f0);
  list.Add(f1);
  list.SetSwfWidth(500);
  list.SetSwfHeight(375);
  const std::string out = dir.File("veldata.swf");
  const TResult result = list.MakePcSwf(out);
  ASSERT_TRUE(result.Ok()) << result.Error;

  auto shape = [](int id, int bitmap) {
    Bytes b = test::FromHex("A6 05");
    Append(b, Le16(static_cast<std::uint32_t>(id)));
    Append(b, test::FromHex("78 00 04 E2 00 00 0E A6 00 01 41"));
    Append(b, Le16(static_cast<std::uint32_t>(bitmap)));
    Append(b,
           test::FromHex("D9 40 0F 05 00 3C 04 BB 00 10 13 E8 9C 43 C5 D4 CF 4B 1E 1E 31 5A 00"));
    return b;
  };
  auto bits = [](int id, const Bytes& jpeg) {
    Bytes b = test::FromHex("7F 05");
    Append(b, Le32(static_cast<std::uint32_t>(jpeg.size() + 2)));
    Append(b, Le16(static_cast<std::uint32_t>(id)));
    Append(b, jpeg);  // a whole JPEG file: no extra markers
    return b;
  };
  Bytes body;
  Append(body, bits(1, j0));
  Append(body, shape(2, 1));
  Append(body, bits(3, j1));
  Append(body, shape(4, 3));
  Append(body, test::FromHex("85 06 02 01 00 02 00 40 00 85 06 03 01 00 04 00 40 00 00 00"));
  Bytes expected = test::FromHex("46 57 53 06");
  Append(expected, Le32(static_cast<std::uint32_t>(21 + body.size())));
  Append(expected, test::FromHex("78 00 04 E2 00 00 0E A6 00 00 01 02 00"));
  Append(expected, body);
  const Bytes written = test::ReadFile(out);
  ASSERT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

TEST_F(MovieFiles, OneFrameMovieAndVersionSix) {
  TSwfList list;
  list.Add(Frame("0.jpg", 120, 90));
  list.SetSwfWidth(120);
  list.SetSwfHeight(90);
  ASSERT_TRUE(list.MakePcSwf(dir.File("one.swf")).Ok());
  const Bytes b = test::ReadFile(dir.File("one.swf"));
  EXPECT_EQ(b[3], 6);  // although nothing in it needs more than 3
  EXPECT_EQ(b[b.size() - 2], 0);
  EXPECT_EQ(Hex(Bytes(b.end() - 11, b.end())), "85 06 02 01 00 02 00 40 00 00 00");
}

TEST_F(MovieFiles, TooManyOrNoFramesWriteNothingAndLeaveTheOldFile) {
  const std::string out = dir.File("veldata.swf");
  std::ofstream(out) << "previous";
  TSwfList none;
  TResult r = none.MakePcSwf(out);
  EXPECT_FALSE(r.Ok());
  EXPECT_FALSE(r.Error.empty());
  TSwfList many;
  const std::string frame = Frame("f.jpg", 16, 16);
  for (int i = 0; i < 1001; ++i)
    many.Add(frame);
  r = many.MakePcSwf(out);
  EXPECT_FALSE(r.Ok());
  EXPECT_NE(r.Error.find("1000"), std::string::npos);
  EXPECT_EQ(test::ReadFile(out).size(), 8u);
}

TEST_F(MovieFiles, AFrameThatCannotBeReadFailsWithItsNameAndKeepsTheOldMovie) {
  const std::string out = dir.File("veldata.swf");
  std::ofstream(out) << "previous";
  TSwfList list;
  list.Add(Frame("0.jpg"));
  test::WriteJpeg(dir.File("1.jpg"), 500, 375, true);  // progressive
  list.Add(dir.File("1.jpg"));
  const TResult r = list.MakePcSwf(out);
  EXPECT_FALSE(r.Ok());
  EXPECT_NE(r.Error.find("1.jpg"), std::string::npos) << r.Error;
  EXPECT_EQ(test::ReadFile(out).size(), 8u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST_F(MovieFiles, FramesAreReadWhenSavedNotWhenAdded) {
  TFlashMovie movie(0, 0, 500, 375, 1.0, true);
  const std::string frame = Frame("0.jpg");
  TFlashImage* image = movie.AddImageFromFile(frame);
  TFlashShape* shape = movie.AddRectShape(0, 0, 500, 375);
  shape->SetBitmapFill(*image, 1, 1, 1);
  movie.PlaceObject(shape, 1);
  movie.ShowFrame(1);
  movie.BuildBody();
  // the body notes the file instead of holding it
  EXPECT_GT(movie.Body().Length(), image->FileSize());
  std::ofstream(frame, std::ios::app) << "changed";
  EXPECT_THROW(movie.SaveToFile(dir.File("x.swf")), TSwfError);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.swf")));
}

TEST_F(MovieFiles, BuildBodyCountsFramesAndReportsStageOne) {
  TFlashMovie movie(0, 0, 100, 100, 12.5, true);
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = 1;
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  movie.AddObject(std::move(sprite));
  movie.ShowFrame(3);
  std::vector<int> percents;
  movie.OnProgress = [&](TBasedSWFStream&, int percent, int stage) {
    EXPECT_EQ(stage, 1);
    percents.push_back(percent);
  };
  movie.BuildBody();
  EXPECT_EQ(movie.GetFrameCount(), 3);  // the sprite's own frame does not count
  EXPECT_EQ(percents, (std::vector<int>{0, 25, 50, 75}));
}

}  // namespace
}  // namespace kalvane
