#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "SwfTestUtil.h"
#include "swf/SWFControlTags.h"
#include "swf/SWFDefineBits.h"
#include "swf/SWFDefineShape.h"
#include "swf/SWFPlaceObject2.h"
#include "swf/SWFRecords.h"

namespace kalvane {
namespace {

using test::Bytes;
using test::Hex;
using test::Written;

Bytes Tag(TSWFObject& tag) {
  return Written([&](TBitsEngine& be) { tag.WriteTag(be); });
}

// A tag with a body of any length, to see the header forms.
class TFixedBody : public TSWFObject {
 public:
  TFixedBody(std::uint16_t code, std::size_t size) : Size(size) { TagCode = code; }
  void WriteBody(TBitsEngine& be) override {
    for (std::size_t i = 0; i < Size; ++i)
      be.PutUI8(0xAA);
  }
  std::size_t Size;
};

TEST(SwfTagHeader, ShortUpToSixtyTwoBytesLongFromSixtyThree) {
  TSWFShowFrame show;
  EXPECT_EQ(Hex(Tag(show)), "40 00");
  TFixedBody b62(9, 62), b63(9, 63);
  const Bytes shortForm = Tag(b62), longForm = Tag(b63);
  EXPECT_EQ(shortForm.size(), 64u);
  EXPECT_EQ(Hex(Bytes(shortForm.begin(), shortForm.begin() + 2)), "7E 02");
  EXPECT_EQ(longForm.size(), 69u);
  EXPECT_EQ(Hex(Bytes(longForm.begin(), longForm.begin() + 6)), "7F 02 3F 00 00 00");
  EXPECT_EQ(b63.BodySize, 63u);
  for (std::uint16_t code : {20, 36, 60}) {
    TFixedBody tiny(code, 1);
    const Bytes bytes = Tag(tiny);
    EXPECT_EQ(bytes.size(), 7u) << code;
    EXPECT_EQ(bytes[2], 1) << code;
  }
}

TEST(SwfPlaceObject2, TheDataMovieFormsAndANamedPlacement) {
  TSWFPlaceObject2 first;
  first.Depth = 1;
  first.SetCharacterId(2);
  EXPECT_EQ(Hex(Tag(first)), "85 06 02 01 00 02 00");
  TSWFPlaceObject2 replace;
  replace.Depth = 1;
  replace.SetCharacterId(4);
  replace.SetMove(true);
  EXPECT_EQ(Hex(Tag(replace)), "85 06 03 01 00 04 00");
  TSWFPlaceObject2 named;
  named.Depth = 3;
  named.SetCharacterId(1);
  named.SetName("loadRect_mc");
  EXPECT_EQ(Hex(Tag(named)), "91 06 22 03 00 01 00 6C 6F 61 64 52 65 63 74 5F 6D 63 00");
  named.SetName("");
  EXPECT_FALSE(named.HasName());
  TSWFPlaceObject2 moved;
  moved.Depth = 1;
  moved.Matrix().SetTranslate(20, -20);  // has-matrix, no character
  EXPECT_EQ(Hex(Tag(moved)), "86 06 04 01 00 0C A5 80");
  EXPECT_EQ(moved.RequiredVersion(), 3);
}

TEST(SwfDefineBits, AWholeJpegIsWrittenAsItIsAndOtherDataIsWrapped) {
  TSWFDefineBitsJPEG2 whole;
  whole.CharacterId = 1;
  whole.Data = test::FromHex("FF D8 01 02 FF D9");
  EXPECT_EQ(Hex(Tag(whole)), "48 05 01 00 FF D8 01 02 FF D9");
  TSWFDefineBitsJPEG2 bare;
  bare.CharacterId = 7;
  bare.Data = test::FromHex("01 02");
  EXPECT_EQ(Hex(Tag(bare)), "48 05 07 00 FF D8 01 02 FF D9");
  EXPECT_EQ(bare.RequiredVersion(), 2);
  TSWFDefineBits plain;
  plain.Data = {1};
  EXPECT_EQ(Tag(plain)[0] >> 6 | Tag(plain)[1] << 2, 6);  // code 6
}

// A shape like the data movie's: one bitmap fill, four edges.
void FillRectShape(TSWFDefineShape& shape, std::int32_t w, std::int32_t h) {
  shape.ShapeId = 2;
  shape.ShapeBounds.Assign({0, 0, w, h});
  auto fill = std::make_shared<TSWFImageFill>();
  fill->BitmapId = 1;
  fill->Matrix.SetScale(20.003662109375, 20.003662109375);
  fill->Matrix.SetTranslate(-5, -5);
  shape.FillStyles.push_back(fill);
  auto style = std::make_unique<TSWFStyleChangeRecord>();
  style->SetFillStyle1(1);
  shape.ShapeRecords.push_back(std::move(style));
  for (auto [dx, dy] : {std::pair{w, 0}, {0, h}, {-w, 0}, {0, -h}}) {
    shape.ShapeRecords.push_back(std::make_unique<TSWFStraightEdgeRecord>(dx, dy));
  }
  shape.ShapeRecords.push_back(std::make_unique<TSWFEndShapeRecord>());
}

TEST(SwfMatrix, ScalesBeyondSixteenBitsStopAtTheEnds) {
  TSWFMatrix m;
  m.SetScale(1.5, -0.25);
  EXPECT_EQ(m.ScaleX, 0x18000);
  EXPECT_EQ(m.ScaleY, -0x4000);
  m.SetScale(40000.0, -1e300);  // no wrap-around (and nothing undefined)
  EXPECT_EQ(m.ScaleX, INT32_MAX);
  EXPECT_EQ(m.ScaleY, INT32_MIN);
  m.SetSkew(std::nan(""), 32767.5);
  EXPECT_EQ(m.Skew0, 0);
  EXPECT_EQ(m.Skew1, static_cast<std::int32_t>(32767.5 * 65536.0));
}

TEST(SwfDefineShape, TheWorkedExampleOfTheDataMovie) {
  TSWFDefineShape shape;
  FillRectShape(shape, 10000, 7500);
  shape.TagCode = 22;
  EXPECT_EQ(Hex(Tag(shape)),
            "A6 05 02 00 78 00 04 E2 00 00 0E A6 00 01 41 01 00 D9 40 0F 05 00 3C 04 BB 00 10 "
            "13 E8 9C 43 C5 D4 CF 4B 1E 1E 31 5A 00");
  EXPECT_EQ(shape.BodySize, 38u);
}

TEST(SwfDefineShape, StyleCountsAndBits) {
  // 254 fills in one byte, 255 as FF then the count
  for (auto [count, prefix] : {std::pair{254, std::string("FE")}, {255, std::string("FF FF 00")}}) {
    TSWFDefineShape shape;
    for (int i = 0; i < count; ++i)
      shape.FillStyles.push_back(std::make_shared<TSWFImageFill>());
    const std::string hex = Hex(Tag(shape));
    EXPECT_EQ(hex.substr(27, prefix.size()), prefix) << count;  // after header, id, rect
  }
  // one fill and no line: bits byte 10, and the record's line flag is dropped
  TSWFDefineShape shape;
  shape.FillStyles.push_back(std::make_shared<TSWFImageFill>());
  auto style = std::make_unique<TSWFStyleChangeRecord>();
  style->SetFillStyle1(1);
  style->SetLineStyle(1);
  auto* raw = style.get();
  shape.ShapeRecords.push_back(std::move(style));
  const Bytes bytes = Tag(shape);
  EXPECT_FALSE(raw->StateLineStyle);
  // header 2, id 2, rect 1, fill count 1, fill 1+2+1, line count 1, then bits
  EXPECT_EQ(bytes[11], 0x10);
  // record: 0 0 0 1 0 0 (no move), fill 1 in one bit, then six zero bits
  EXPECT_EQ(Hex(Bytes(bytes.begin() + 12, bytes.end())), "12 00");
}

TEST(SwfShapeRecords, StraightEdgeForms) {
  auto edge = [](std::int32_t dx, std::int32_t dy) {
    TSWFStraightEdgeRecord e(dx, dy);
    return Hex(Written([&](TBitsEngine& be) { e.WriteRecord(be); }));
  };
  EXPECT_EQ(edge(0, 0), "");
  EXPECT_EQ(edge(1, 0), "C0 40");            // 11 0000 0 0 01: n - 2 = 0, horizontal
  EXPECT_EQ(edge(0, -1), "C1 C0");           // vertical, -1 in 2 bits
  EXPECT_EQ(edge(3, -2), "C6 F0");           // general: 11 0001 1 011 110
  EXPECT_EQ(edge(65535, 0), "FC 7F FF 80");  // n = 17, n - 2 = 15
}

TEST(SwfShapeRecords, StyleChangeMovesOnlyWhenAskedOrWhenItSelectsNothing) {
  TSWFStyleChangeRecord select;
  select.FillBits = 1;
  select.SetFillStyle1(1);
  EXPECT_EQ(Hex(Written([&](TBitsEngine& be) { select.WriteRecord(be); })), "12");
  TSWFStyleChangeRecord bare;  // no style: the move is written, here (0, 0)
  EXPECT_EQ(Hex(Written([&](TBitsEngine& be) { bare.WriteRecord(be); })), "04 00");
  TSWFStyleChangeRecord move;
  move.FillBits = 1;
  move.SetFillStyle1(1);
  move.SetMoveTo(20, 0);
  // 0 0 0 1 0 1, n = 6 (00110), 010100, 000000, fill 1
  EXPECT_EQ(Hex(Written([&](TBitsEngine& be) { move.WriteRecord(be); })), "14 CA 01");
}

TEST(SwfShapeRecords, NewStylesChangeTheBitsOfLaterRecords) {
  TSWFDefineShape shape;
  auto style = std::make_unique<TSWFStyleChangeRecord>();
  style->NewFillStyles().push_back(std::make_shared<TSWFColorFill>());
  style->NewFillStyles().push_back(std::make_shared<TSWFColorFill>());
  style->NewFillStyles().push_back(std::make_shared<TSWFColorFill>());
  auto* first = style.get();
  shape.ShapeRecords.push_back(std::move(style));
  auto second = std::make_unique<TSWFStyleChangeRecord>();
  second->SetFillStyle0(3);
  auto* next = second.get();
  shape.ShapeRecords.push_back(std::move(second));
  Tag(shape);
  EXPECT_EQ(first->FillBits, 2);  // three new fills need two bits
  EXPECT_EQ(next->FillBits, 2);
  EXPECT_TRUE(next->StateFillStyle0);  // kept: the new styles gave it bits
}

TEST(SwfDefineSprite, OwnTimelineEndedByItsOwnEnd) {
  TSWFDefineSprite sprite;
  sprite.SpriteId = 5;
  auto place = std::make_unique<TSWFPlaceObject2>();
  place->Depth = 1;
  place->SetCharacterId(4);
  sprite.ControlTags.push_back(std::move(place));
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  EXPECT_EQ(sprite.FrameCount(), 1);
  EXPECT_EQ(Hex(Tag(sprite)), "CF 09 05 00 01 00 85 06 02 01 00 04 00 40 00 00 00");
  EXPECT_EQ(sprite.RequiredVersion(), 3);
}

}  // namespace
}  // namespace kalvane
