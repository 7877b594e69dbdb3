#include "project/PageTitles.h"

#include <gtest/gtest.h>

#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

TEST(PageTitles, EachProjectKeepsItsOwnAndOtherSettingsStay) {
  test::TempDir dir;
  const std::string settings = dir.File("config/Kalvane/velinit");
  const TPageTitles titles(settings);
  EXPECT_EQ(titles.Title("/photos/cup.vpj"), "");
  ASSERT_TRUE(test::Ok(titles.SetTitle("/photos/cup.vpj", "青いマグカップ")));
  ASSERT_TRUE(test::Ok(titles.SetTitle("/photos/Cup.vpj", "Red cup")));
  EXPECT_EQ(titles.Title("/photos/cup.vpj"), "青いマグカップ");
  // paths that differ only in case are two projects
  EXPECT_EQ(titles.Title("/photos/Cup.vpj"), "Red cup");
  ASSERT_TRUE(test::Ok(titles.SetTitle("/photos/cup.vpj", "Blue\r\nmug")));
  EXPECT_EQ(TPageTitles(settings).Title("/photos/cup.vpj"), "Blue  mug");

  // an unsaved project is not remembered
  ASSERT_TRUE(test::Ok(titles.SetTitle("", "nobody's")));
  EXPECT_EQ(titles.Title(""), "");

  std::ofstream(settings, std::ios::app) << "[template]\nusehelp=0\n";
  ASSERT_TRUE(test::Ok(titles.SetTitle("/photos/plate.vpj", "Plate")));
  EXPECT_NE(test::ReadText(settings).find("usehelp=0"), std::string::npos);
  EXPECT_EQ(TPageTitles::Key("/a"), "p2f61");
}

TEST(PageTitles, ADescriptionKeepsItsLinesAndBackslashes) {
  test::TempDir dir;
  const std::string settings = dir.File("velinit");
  const std::string text = "白い陶器\r\n容量 300ml\\n は文字\n\n";
  ASSERT_TRUE(test::Ok(TPageTitles(settings).SetDescription("/photos/cup.vpj", text)));
  ASSERT_TRUE(test::Ok(TPageTitles(settings).SetTitle("/photos/cup.vpj", "Cup")));
  EXPECT_EQ(TPageTitles(settings).Description("/photos/cup.vpj"),
            "白い陶器\n容量 300ml\\n は文字\n\n");
  EXPECT_EQ(TPageTitles(settings).Title("/photos/cup.vpj"), "Cup");
  EXPECT_EQ(TPageTitles(settings).Description("/photos/plate.vpj"), "");
}

}  // namespace
}  // namespace kalvane
