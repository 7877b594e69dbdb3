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

}  // namespace
}  // namespace kalvane
