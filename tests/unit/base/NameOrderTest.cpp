#include "base/NameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kalvane {
namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
  SortNames(names);
  return names;
}

TEST(NameOrderTest, NumbersCompareByValueAndLettersWithoutCase) {
  EXPECT_EQ(Sorted({"P3.jpg", "p10.jpg", "p2.jpg"}),
            (std::vector<std::string>{"p2.jpg", "P3.jpg", "p10.jpg"}));
  EXPECT_EQ(Sorted({"shot 9", "Shot 100", "shot 10", "SHOT 1"}),
            (std::vector<std::string>{"SHOT 1", "shot 9", "shot 10", "Shot 100"}));
  // Several numbers in one name, each compared on its own.
  EXPECT_EQ(Sorted({"r2_a10", "r10_a1", "r2_a9"}),
            (std::vector<std::string>{"r2_a9", "r2_a10", "r10_a1"}));
  EXPECT_EQ(Sorted({"b", "a1", "A"}), (std::vector<std::string>{"A", "a1", "b"}));
}

TEST(NameOrderTest, LongNumbersAndLeadingZeros) {
  // Longer than any integer type: still compared as numbers.
  EXPECT_LT(CompareNames("x99999999999999999999999", "x100000000000000000000000"), 0);
  EXPECT_LT(CompareNames("x007", "x10"), 0);
  EXPECT_LT(CompareNames("x0", "x00001"), 0);
  EXPECT_GT(CompareNames("turntable_10", "turntable_09"), 0);
}

TEST(NameOrderTest, PunctuationBeforeNumbersBeforeLettersBeforeOtherScripts) {
  EXPECT_EQ(Sorted({"imgA", "img2", "img_2", "img 2", "img\xE5\x86\x99"}),
            (std::vector<std::string>{"img 2", "img_2", "img2", "imgA", "img\xE5\x86\x99"}));
  // A name that is the start of another goes first.
  EXPECT_LT(CompareNames("photo", "photo1"), 0);
  EXPECT_LT(CompareNames("photo1", "photo1.jpg"), 0);
}

TEST(NameOrderTest, FoldersOrderBeforeTheirFiles) {
  EXPECT_EQ(
      Sorted({"/shots/day10/a.jpg", "/shots/day2/b.jpg", "/shots/Day2/a.jpg"}),
      (std::vector<std::string>{"/shots/Day2/a.jpg", "/shots/day2/b.jpg", "/shots/day10/a.jpg"}));
}

TEST(NameOrderTest, EqualNamesGetAFixedOrderWhateverTheyCameIn) {
  const std::vector<std::string> expected = {"P02", "P2", "p02", "p2", "p2", "p3"};
  std::vector<std::string> names = expected;
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    std::shuffle(names.begin(), names.end(), random);
    ASSERT_EQ(Sorted(names), expected);
  }
  EXPECT_EQ(CompareNames("p2", "p2"), 0);
  EXPECT_NE(CompareNames("p2", "P2"), 0);
  EXPECT_EQ(CompareNames("p2", "P2"), -CompareNames("P2", "p2"));
}

TEST(NameOrderTest, IsAStrictWeakOrder) {
  // Every triple of a mixed set: antisymmetric and transitive, so any sort
  // of these names is well defined.
  const std::vector<std::string> names = {
      "",  "a", "A",  "a1", "a01", "a10", "a_1",      "a-1",       "a 1", "a1b", "aB", "ab",
      "b", "1", "01", "10", "_",   "~",   "\xC3\xA9", "a\xC3\xA9", "Z9",  "z10", "z09"};
  for (const std::string& x : names) {
    EXPECT_EQ(CompareNames(x, x), 0) << x;
    for (const std::string& y : names) {
      const int xy = CompareNames(x, y);
      EXPECT_EQ(xy > 0, CompareNames(y, x) < 0) << x << " / " << y;
      for (const std::string& z : names) {
        if (xy < 0 && CompareNames(y, z) < 0) {
          EXPECT_LT(CompareNames(x, z), 0) << x << " < " << y << " < " << z;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kalvane
