#include "swf/BitsEngine.h"

#include <gtest/gtest.h>

#include "SwfTestUtil.h"
#include "swf/SWFRecords.h"

namespace kalvane {
namespace {

using test::Hex;
using test::Written;

TEST(BitsEngine, PutBitsPacksMostSignificantFirst) {
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) {
              be.PutBits(5, 3);
              be.PutBits(1, 1);
            })),
            "B0");
  TMemoryStream out;
  TBitsEngine be(out);
  be.PutBits(0xFFFF, 0);  // nothing, pending state unchanged
  EXPECT_FALSE(be.HasPendingBits());
  be.PutBits(1, 1);
  be.PutBits(0xFF, 0);
  be.PutBits(0, 7);
  EXPECT_EQ(Hex(out.Data()), "80");
  // -3 in 5 bits is 11101; a 32-bit value crosses five bytes with 2 pending
  EXPECT_EQ(Hex(Written([](TBitsEngine& e) { e.PutSBits(-3, 5); })), "E8");
  EXPECT_EQ(Hex(Written([](TBitsEngine& e) {
              e.PutBits(1, 2);
              e.PutBits(0x89ABCDEF, 32);
            })),
            "62 6A F3 7B C0");
}

TEST(BitsEngine, BytesAndIntegers) {
  // a byte with 3 bits pending is not aligned: it straddles two bytes
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) {
              be.PutBits(0b101, 3);
              be.PutUI8(0xFF);
            })),
            "BF E0");
  // UI16 pads pending bits first, then low byte first
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) {
              be.PutBits(1, 1);
              be.PutUI16(0x1234);
            })),
            "80 34 12");
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) { be.PutUI32(0x12345678); })), "78 56 34 12");
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) { be.PutString("ab", true, true); })), "61 62 00");
  // AlignToByte(false) drops the pending bits
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) {
              be.PutBits(1, 1);
              be.AlignToByte(false);
              be.PutUI8(7);
            })),
            "07");
}

TEST(BitsEngine, BitCounts) {
  EXPECT_EQ(BitsForUnsigned(0), 0u);
  EXPECT_EQ(BitsForUnsigned(1), 1u);
  EXPECT_EQ(BitsForUnsigned(255), 8u);
  EXPECT_EQ(BitsForUnsigned(256), 9u);
  EXPECT_EQ(BitsForSigned(0), 0u);
  EXPECT_EQ(BitsForSigned(1), 2u);
  EXPECT_EQ(BitsForSigned(-4), 4u);  // |a| then one more: not the tightest form
  EXPECT_EQ(BitsForSigned(10000), 15u);
  EXPECT_EQ(BitsForSignedValues({0, -7, 3}), 4u);
}

TEST(BitsEngine, RectOfTheDataMovieAndOfZeros) {
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) { be.PutRect(0, 0, 10000, 7500); })),
            "78 00 04 E2 00 00 0E A6 00");
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) { be.PutRect(10000, 7500, 0, 0); })),
            "78 00 04 E2 00 00 0E A6 00");  // put in SWF order first
  EXPECT_EQ(Hex(Written([](TBitsEngine& be) { be.PutRect(0, 0, 0, 0); })), "00");
}

TEST(BitsEngine, MatrixForms) {
  TSWFMatrix identity;
  EXPECT_EQ(Hex(Written([&](TBitsEngine& be) { be.PutMatrix(identity); })), "00");
  TSWFMatrix fill;
  fill.SetScale(20.003662109375, 20.003662109375);
  fill.SetTranslate(-5, -5);
  EXPECT_EQ(fill.ScaleX, 0x1400F0);
  EXPECT_EQ(Hex(Written([&](TBitsEngine& be) { be.PutMatrix(fill); })), "D9 40 0F 05 00 3C 04 BB");
  TSWFMatrix skew;
  skew.SetSkew(1.0, -1.0);  // 18-bit values: flags 0, 1, n = 18
  EXPECT_EQ(Hex(Written([&](TBitsEngine& be) { be.PutMatrix(skew); })), "64 80 00 60 00 00");
  TSWFMatrix truncated;
  truncated.SetScale(-1.00001, 0.5);
  EXPECT_EQ(truncated.ScaleX, -65536);  // toward zero
}

}  // namespace
}  // namespace kalvane
