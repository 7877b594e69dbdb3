#include "swf/SwfCombine.h"

#include <gtest/gtest.h>

#include <zlib.h>

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

void Append(Bytes& to, const Bytes& more) {
  for (const std::uint8_t b : more)
    to.push_back(b);
}

// A movie of `tags` (the End tag added) on an empty stage.
Bytes Movie(const Bytes& tags) {
  Bytes out;
  out.reserve(tags.size() + 15);
  Append(out, {'F', 'W', 'S', 6, 0, 0, 0, 0, 0x00, 0, 3, 1, 0});
  Append(out, tags);
  Append(out, {0, 0});
  for (int i = 0; i < 4; ++i)
    out[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(out.size() >> (8 * i));
  return out;
}

// `movie` as CWS: its body deflated, or only `part` bytes of it, flushed
// but without the stream's end.
Bytes Compressed(const Bytes& movie, std::size_t part = 0) {
  Bytes out(movie.begin(), movie.begin() + 8);
  out[0] = 'C';
  z_stream zs{};
  deflateInit(&zs, Z_DEFAULT_COMPRESSION);
  const std::size_t size = part ? part : movie.size() - 8;
  Bytes packed(deflateBound(&zs, size) + 64);
  zs.next_in = const_cast<Bytef*>(movie.data() + 8);
  zs.avail_in = static_cast<uInt>(size);
  zs.next_out = packed.data();
  zs.avail_out = static_cast<uInt>(packed.size());
  deflate(&zs, part ? Z_SYNC_FLUSH : Z_FINISH);
  packed.resize(packed.size() - zs.avail_out);
  deflateEnd(&zs);
  out.insert(out.end(), packed.begin(), packed.end());
  return out;
}

// Sprite `id` holding sprite `id` holding ... `depth` deep, the innermost
// empty: each one's header, id and frame count, then all their End tags.
Bytes NestedSprites(std::size_t depth, std::uint8_t id = 1) {
  Bytes out;
  out.reserve(depth * 12);
  for (std::size_t k = 0; k < depth; ++k) {
    const auto length = static_cast<std::uint32_t>(6 + 12 * (depth - 1 - k));
    Append(out, {0xFF, 0x09});  // DefineSprite, long header
    for (int i = 0; i < 4; ++i)
      out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    Append(out, {id, 0, 0, 0});
  }
  out.resize(out.size() + 2 * depth, 0);
  return out;
}

std::string Refusal(const std::function<void()>& work) {
  try {
    work();
  } catch (const TSwfError& e) {
    return e.what();
  }
  return "accepted";
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

TEST(SwfReader, DeepSpritesAreRefusedAtTheLimitWithoutRecursion) {
  // 64 deep is taken, and renumbered in place at every depth
  TSwfFile nested = TSwfFile::Parse(Movie(NestedSprites(64)));
  ASSERT_EQ(nested.Tags.size(), 1u);
  std::vector<std::uint16_t> map(65536, 0);
  map[1] = 9;
  RenumberCharacters(nested.Tags[0], map);
  const Bytes renumbered = NestedSprites(64, 9);
  EXPECT_EQ(nested.Tags[0].Body, Bytes(renumbered.begin() + 6, renumbered.end()));
  for (const std::size_t depth : {65u, 20000u, 100000u}) {
    const Bytes movie = Movie(NestedSprites(depth));
    EXPECT_NE(Refusal([&] { TSwfFile::Parse(movie); }).find("nested more than 64 deep"),
              std::string::npos)
        << depth;
    EXPECT_NE(Refusal([&] { TSwfFile::Parse(Compressed(movie)); }).find("nested more than 64"),
              std::string::npos)
        << depth;
    // a sprite tag handed over directly is walked the same way
    TSwfTag sprite{39, Bytes(movie.begin() + 13 + 6, movie.end() - 2)};
    EXPECT_NE(Refusal([&] { RenumberCharacters(sprite, map); }).find("nested more than 64"),
              std::string::npos)
        << depth;
  }
  // inserted into a master, the nesting goes along whole
  TempDir dir;
  const TSwfFile combined = CombineIntoSprite(Master("loadRect_mc"), "loadRect_mc",
                                              TSwfFile::Parse(Movie(NestedSprites(3))));
  const Bytes expected = NestedSprites(3, 4);  // above the master's 1..3
  EXPECT_NE(std::search(combined.Bytes().begin(), combined.Bytes().end(), expected.begin(),
                        expected.end()),
            combined.Bytes().end());
}

TEST(SwfReader, FramesAndTagsAreCountedWhileTheMovieInflates) {
  const Bytes frames = [] {
    Bytes b;
    for (int i = 0; i < 70000; ++i)
      Append(b, {0x40, 0x00});
    return b;
  }();
  EXPECT_NE(Refusal([&] { TSwfFile::Parse(Movie(frames)); }).find("more than 65535 frames"),
            std::string::npos);
  // A header promising 200 MB of frame tags: refused at the 65536th frame,
  // long before the stream (here cut after 140 KB) would run out.
  Bytes bomb = Movie(frames);
  const std::uint32_t promised = 200u << 20;
  for (int i = 0; i < 4; ++i)
    bomb[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(promised >> (8 * i));
  EXPECT_NE(Refusal([&] {
              TSwfFile::Parse(Compressed(bomb, bomb.size() - 8));
            }).find("more than 65535 frames"),
            std::string::npos);
  // and inside a sprite
  Bytes sprite;
  Append(sprite, {0xFF, 0x09, 0, 0, 0, 0, 1, 0, 0, 0});
  Append(sprite, frames);
  Append(sprite, {0, 0});
  const auto length = static_cast<std::uint32_t>(sprite.size() - 6);
  for (int i = 0; i < 4; ++i)
    sprite[2 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(length >> (8 * i));
  EXPECT_NE(Refusal([&] {
              TSwfFile::Parse(Compressed(Movie(sprite)));
            }).find("a sprite has more than 65535 frames"),
            std::string::npos);
  // empty tags that are no frames: bounded too
  Bytes labels;
  for (std::size_t i = 0; i <= (std::size_t{1} << 20); ++i)
    Append(labels, {0xC0, 0x0A});
  EXPECT_NE(Refusal([&] { TSwfFile::Parse(Compressed(Movie(labels))); }).find("tags"),
            std::string::npos);
}

TEST(SwfReader, ACompressedMovieMustEndItsStreamProperly) {
  const Bytes movie = Movie({0x40, 0x00});
  const Bytes good = Compressed(movie);
  EXPECT_EQ(TSwfFile::Parse(good).Bytes(), movie);
  Bytes checksum = good;  // the stream's last byte is the checksum's
  checksum.back() ^= 0x01;
  EXPECT_NE(Refusal([&] { TSwfFile::Parse(checksum); }).find("damaged"), std::string::npos);
  // without its checksum the stream has all the body but not its end
  const Bytes cut(good.begin(), good.end() - 4);
  EXPECT_NE(Refusal([&] { TSwfFile::Parse(cut); }).find("cut short"), std::string::npos);
  // more inflated than the header says
  Bytes longer = movie;
  longer.resize(longer.size() + 10, 0xAA);
  Bytes extra = Compressed(longer);
  std::copy(movie.begin() + 4, movie.begin() + 8, extra.begin() + 4);
  EXPECT_NE(Refusal([&] { TSwfFile::Parse(extra); }).find("more than its header says"),
            std::string::npos);
  // and less
  Bytes shorter = Compressed(movie);
  shorter[4] = static_cast<std::uint8_t>(shorter[4] + 1);
  EXPECT_NE(Refusal([&] { TSwfFile::Parse(shorter); }).find("shorter than its header"),
            std::string::npos);
}

}  // namespace
}  // namespace kalvane
