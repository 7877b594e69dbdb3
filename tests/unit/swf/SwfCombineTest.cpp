#include "swf/SwfCombine.h"

#include <gtest/gtest.h>

#include <random>

#include "TestImages.h"
#include "export/SwfList.h"
#include "swf/ByteStream.h"
#include "swf/FlashMovie.h"
#include "swf/SwfTestUtil.h"

namespace kalvane {
namespace {

using test::Bytes;
using test::TempDir;

std::uint16_t Id(const TSwfTag& tag) {
  return static_cast<std::uint16_t>(tag.Body[0] | (tag.Body[1] << 8));
}

// The bitmap a one-fill DefineShape fills with.
int ShapeBitmap(const TSwfTag& shape) {
  const std::size_t rect = (5 + 4 * static_cast<std::size_t>(shape.Body[2] >> 3) + 7) / 8;
  const std::size_t at = 2 + rect + 2;  // fill count, fill type, then the id
  return shape.Body[at] | (shape.Body[at + 1] << 8);
}

// A master with a card (1) inside a sprite (3) placed under `name`, and one
// more shape (2).
TSwfFile Master(const std::string& name, bool nameTheSprite = true) {
  TFlashMovie movie(0, 0, 3200, 3200, 3, false);
  movie.SetSwfVersion(6);
  movie.SetPixelUnits(true);
  TFlashShape* card = movie.AddRectShape(0, 0, 160, 160);
  movie.AddRectShape(0, 0, 10, 10);
  movie.AddNamedSprite(*card, 1, nameTheSprite ? name : "sprite_mc");
  if (!nameTheSprite) movie.PlaceObject(card, 2)->PlaceTag().SetName(name);
  movie.ShowFrame(1);
  movie.BuildBody();
  TMemoryStream out;
  movie.SaveToStream(out);
  return TSwfFile::Parse(out.Data());
}

// A slide movie of `frames` JPEG frames, as jpeg2swf writes it.
TSwfFile Slides(const TempDir& dir, int frames, bool compressed = false) {
  TFlashMovie movie(0, 0, 3200, 2400, 3, false);
  movie.SetSwfVersion(6);
  movie.SetPixelUnits(true);
  movie.SetCompressed(compressed);
  for (int i = 0; i < frames; ++i) {
    const std::string jpeg = dir.File("slide" + std::to_string(i) + ".jpg");
    test::WriteJpeg(jpeg, 160, 120);
    TFlashImage* image = movie.AddImageFromFile(jpeg);
    TFlashShape* shape = movie.AddRectShape(0, 0, 160, 120);
    shape->SetBitmapFill(*image, 1, 1.0, 1.0);
    movie.PlaceObject(shape, 1)->SetMove(i > 0);
    movie.ShowFrame(1);
  }
  movie.BuildBody();
  TMemoryStream out;
  movie.SaveToStream(out);
  return TSwfFile::Parse(out.Data());
}

TEST(SwfReader, AMovieReadAndWrittenBackIsTheSameByteForByte) {
  TempDir dir;
  TSwfList list;
  for (int i = 0; i < 2; ++i) {
    list.Add(dir.File(std::to_string(i) + ".jpg"));
    test::WriteJpeg(list[i], 200, 150);
  }
  list.SetSwfWidth(200);
  list.SetSwfHeight(150);
  ASSERT_TRUE(test::Ok(list.MakePcSwf(dir.File("pc.swf"))));
  const Bytes original = test::ReadFile(dir.File("pc.swf"));
  EXPECT_EQ(TSwfFile::Read(dir.File("pc.swf")).Bytes(), original);
  // a compressed movie reads to the same tags
  EXPECT_EQ(Slides(dir, 2, true).Bytes(), Slides(dir, 2, false).Bytes());
}

TEST(SwfCombine, TheSlidesFillTheNamedSpriteUnderIdsAboveTheMasters) {
  TempDir dir;
  const TSwfFile master = Master("loadRect_mc");
  const TSwfFile out =
      TSwfFile::Parse(CombineIntoSprite(master, "loadRect_mc", Slides(dir, 2)).Bytes());
  EXPECT_EQ(out.FrameRect, master.FrameRect);
  EXPECT_EQ(out.FrameRate, 3 * 256);
  EXPECT_EQ(out.FrameCount, 1);
  // card 1, shape 2; the slides' bitmaps and shapes 1..4 become 4..7, defined
  // before the sprite (3)
  std::vector<std::uint16_t> defined;
  for (const TSwfTag& t : out.Tags) {
    if (const std::uint16_t id = DefinedCharacter(t)) defined.push_back(id);
  }
  EXPECT_EQ(defined, (std::vector<std::uint16_t>{1, 2, 4, 5, 6, 7, 3}));
  const auto bitmapOf = [&](std::uint16_t id) {
    const auto it = std::find_if(out.Tags.begin(), out.Tags.end(), [&](const TSwfTag& t) {
      return (t.Code == 2 || t.Code == 22 || t.Code == 32) && Id(t) == id;
    });
    return it == out.Tags.end() ? -1 : ShapeBitmap(*it);
  };
  EXPECT_EQ(bitmapOf(5), 4);
  EXPECT_EQ(bitmapOf(7), 6);

  const auto spriteTag =
      std::find_if(out.Tags.begin(), out.Tags.end(), [](const TSwfTag& t) { return t.Code == 39; });
  ASSERT_NE(spriteTag, out.Tags.end());
  const TSwfTag& sprite = *spriteTag;
  EXPECT_EQ(Id(sprite), 3);
  EXPECT_EQ(sprite.Body[2], 2);  // frames
  std::vector<std::uint16_t> placed;
  for (const TSwfTag& t : ParseTags(sprite.Body.data() + 4, sprite.Body.size() - 4)) {
    if (t.Code == 26) placed.push_back(ReadPlaceObject2(t).Character);
  }
  EXPECT_EQ(placed, (std::vector<std::uint16_t>{5, 7}));
}

TEST(SwfCombine, WhatCannotBeCombinedIsRefusedSayingWhy) {
  TempDir dir;
  const TSwfFile slides = Slides(dir, 1);
  auto refusal = [](const std::function<void()>& combine) {
    try {
      combine();
    } catch (const TSwfError& e) {
      return std::string(e.what());
    }
    return std::string("combined");
  };
  EXPECT_NE(refusal([&] {
              CombineIntoSprite(Master("loadRect_mc"), "other_mc", slides);
            }).find("under the name other_mc"),
            std::string::npos);
  EXPECT_NE(refusal([&] {
              CombineIntoSprite(Master("loadRect_mc", false), "loadRect_mc", slides);
            }).find("is not a sprite"),
            std::string::npos);

  TSwfFile text = slides;  // a DefineText names fonts in ways not followed
  text.Tags.insert(text.Tags.begin(), TSwfTag{11, {9, 0, 0, 0}});
  EXPECT_NE(refusal([&] {
              CombineIntoSprite(Master("loadRect_mc"), "loadRect_mc", text);
            }).find("tag 11"),
            std::string::npos);
  TSwfFile dangling = slides;  // places character 9, which it never defines
  dangling.Tags.push_back(TSwfTag{26, {0x02, 2, 0, 9, 0}});
  EXPECT_NE(refusal([&] {
              CombineIntoSprite(Master("loadRect_mc"), "loadRect_mc", dangling);
            }).find("character 9"),
            std::string::npos);
}

TEST(SwfReader, DamagedAndHostileBytesAreRefusedWithoutHarm) {
  TempDir dir;
  const Bytes good = Slides(dir, 1).Bytes();
  // every cut short, with the header's length made to match
  for (std::size_t cut = 0; cut + 2 < good.size(); ++cut) {
    Bytes b(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    if (b.size() >= 8) {
      for (int i = 0; i < 4; ++i)
        b[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(cut >> (8 * i));
    }
    EXPECT_THROW(TSwfFile::Parse(b), TSwfError) << cut;
  }
  Bytes huge = good;  // a header giving 4 GB
  huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
  EXPECT_THROW(TSwfFile::Parse(huge), TSwfError);
  Bytes garbage = {'C', 'W', 'S', 6, 100, 0, 0, 0, 1, 2, 3, 4, 5};
  EXPECT_THROW(TSwfFile::Parse(garbage), TSwfError);

  // random bodies for the tags whose insides are read: a result or a refusal
  std::mt19937 random(7);
  std::vector<std::uint16_t> map(65536, 1);
  for (int round = 0; round < 4000; ++round) {
    TSwfTag tag{std::array<std::uint16_t, 7>{2, 22, 32, 26, 39, 56, 76}[round % 7], {}};
    tag.Body.resize(random() % 40);
    for (auto& byte : tag.Body)
      byte = static_cast<std::uint8_t>(random());
    try {
      RenumberCharacters(tag, map);
      if (tag.Code == 26) ReadPlaceObject2(tag);
    } catch (const TSwfError&) {
    }
  }
}

}  // namespace
}  // namespace kalvane
