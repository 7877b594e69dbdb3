#include "project/ProjectFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "TestImages.h"
#include "base/AppUtil.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "project/ProjectDocument.h"

namespace kalvane {
namespace {

class TCallView : public THeadlessView {
 public:
  void HideItemPanel() override { calls += "hide;"; }
  void RepaintWorkArea() override { calls += "repaint;"; }
  std::string calls;
};

// The document as a window owns it, with the window's view.
struct TFakeWindow {
  TFakeWindow() { items.SetItemScale(1.0); }
  TCallView view;
  TProjectDocument doc{&view};
  TLayerManagement& items = doc.LayerItems();
  const TGuideManagement& guides = doc.GuideLines();
  const TBandManagement& box = doc.TrimBox();
};

class ProjectFile : public testing::Test {
 protected:
  std::string Photo(const std::string& name) {
    const std::string path = dir.File(name);
    test::WriteSolid(path, 20, 10, 90, 90, 90);
    return path;
  }
  void AddItem(const std::string& name, TPoint offset) {
    window.items.AddItem(name, Photo(name));
    window.items.FindByName(name)->SetOffset(offset);
  }
  test::TempDir dir;
  TFakeWindow window;
  TPrjSave save;
};

TEST_F(ProjectFile, TheWholeTextInItsOrder) {
  AddItem("001.png", {0, 0});
  AddItem("002.png", {-3, 2});
  window.items.SetRotation(9000);
  window.doc.AddGuide(1, 0.5);
  save.SetMainWindow(&window.doc);
  const std::string path = dir.File("cup.vpj");
  std::string error;
  ASSERT_TRUE(test::Ok(save.Save(path)));
  EXPECT_EQ(test::ReadText(path),
            "[project]\nitemCount=2\nitemRotate=9000\n"
            "[projectItem0]\nname=" +
                dir.File("001.png") +
                "\nx=0\ny=0\nfx=0\nfy=0\n"
                "[projectItem1]\nname=" +
                dir.File("002.png") +
                "\nx=-3\ny=2\nfx=-3\nfy=2\n"
                "[guideLine]\ncount=1\n[guideItem0]\ntype=1\nscale=0.5\n"
                "[trimBox]\np1x=0.05\np1y=0.05\np2x=0.95\np2y=0.95\n");
}

TEST_F(ProjectFile, ANameWithALineBreakIsRefusedAtSave) {
  AddItem("a.png", {0, 0});
  const std::string odd = dir.File("two\nlines.png");
  test::WriteSolid(odd, 20, 10, 90, 90, 90);
  window.items.AddItem("two\nlines.png", odd);
  save.SetMainWindow(&window.doc);
  const std::string path = dir.File("cup.vpj");
  std::string error;
  EXPECT_TRUE(test::Failed(save.Save(path), &error));
  EXPECT_NE(error.find("line break"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ProjectFile, AnEmptyProjectAndNothingToSaveTo) {
  std::string error;
  EXPECT_TRUE(test::Failed(save.Save(dir.File("x.vpj")), &error));  // no window
  save.SetMainWindow(&window.doc);
  EXPECT_TRUE(test::Failed(save.Save(""), &error));
  window.doc.SetBox({0.1, 0.2, 0.3, 0.660146699266504});
  EXPECT_EQ(save.Text(),
            "[project]\nitemCount=0\nitemRotate=0\n[guideLine]\ncount=0\n"
            "[trimBox]\np1x=0.1\np1y=0.2\np2x=0.3\np2y=0.660146699266504\n");
}

TEST_F(ProjectFile, SavingOverABiggerProjectLeavesNothingOfIt) {
  const std::string path = dir.File("cup.vpj");
  std::ofstream(path) << "[project]\nitemCount=5\n[projectItem4]\nname=old.jpg\n[extra]\nk=v\n";
  save.SetMainWindow(&window.doc);
  ASSERT_TRUE(test::Ok(save.Save(path)));
  const TIniFile file = TIniFile::Load(path);
  EXPECT_FALSE(file.HasSection("projectItem4"));
  EXPECT_FALSE(file.HasSection("extra"));
  EXPECT_EQ(file.ReadInteger("project", "itemCount", -1), 0);
}

TEST_F(ProjectFile, WrittenThenReadGivesTheSameProject) {
  AddItem("a.png", {5, -6});
  AddItem("b.png", {-7, 8});
  window.items.SetRotation(-9000);
  window.doc.AddGuide(0, 0.25);
  window.doc.AddGuide(1, 2.0 / 3.0);
  window.doc.SetBox({0.1, 0.15, 0.85, 0.9});
  save.SetMainWindow(&window.doc);
  const TProjectContent c = ReadProjectContent(TIniFile::Parse(save.Text()));
  ASSERT_EQ(c.Items.size(), 2u);
  EXPECT_EQ(c.Items[1].Name, dir.File("b.png"));
  EXPECT_EQ(c.Items[1].X, -7);
  EXPECT_EQ(c.Items[1].Y, 8);
  EXPECT_EQ(c.Rotation, -9000);
  ASSERT_EQ(c.Guides.size(), 2u);
  EXPECT_EQ(c.Guides[1].Orientation, 1);
  EXPECT_NEAR(c.Guides[1].RelPos, 2.0 / 3.0, 1e-15);
  EXPECT_EQ(c.Box, (TRelBox{0.1, 0.15, 0.85, 0.9}));
}

TEST_F(ProjectFile, FineOffsetsBesideTheWorkOffsetsRoundedFromThem) {
  window.items.SetItemScale(0.25);
  AddItem("a.png", {0, 0});
  AddItem("b.png", {0, 0});
  window.items.FindByName("a.png")->SetFineOffset({10.0, -13.96});  // 2.5 to 2, -3.49 to -3
  window.items.FindByName("b.png")->SetFineOffset({1234.56789012345, -0.125});
  save.SetMainWindow(&window.doc);
  const std::string text = save.Text();
  EXPECT_NE(
      text.find("[projectItem0]\nname=" + dir.File("a.png") + "\nx=2\ny=-3\nfx=10\nfy=-13.96\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("\nx=309\ny=0\nfx=1234.56789012345\nfy=-0.125\n"), std::string::npos) << text;

  // read back onto items of the same scale: the same places
  const TProjectContent c = ReadProjectContent(TIniFile::Parse(text));
  ASSERT_EQ(c.Items.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    ASSERT_TRUE(c.Items[i].HasFine);
    TLayerItemObject item;
    item.SetScale(0.25);
    ApplyItemOffset(item, c.Items[i]);
    const TLayerItemObject& saved = *window.items.GetItem(static_cast<int>(i));
    EXPECT_EQ(item.GetFineOffset(), saved.GetFineOffset());
    EXPECT_EQ(item.GetOffset(), saved.GetOffset());
  }
}

TEST(ProjectReader, FilesWithoutFineOffsetsOrWithStaleOnesTakeXAndY) {
  const TProjectContent c = ReadProjectContent(TIniFile::Parse(
      "[project]\nitemCount=5\n"
      "[projectItem0]\nname=old.jpg\nx=3\ny=-2\n"                    // an older program's
      "[projectItem1]\nname=stale.jpg\nx=3\ny=-2\nfx=100\nfy=-8\n"   // x changed since
      "[projectItem2]\nname=half.jpg\nx=3\ny=-2\nfx=12.5\n"          // fy missing
      "[projectItem3]\nname=junk.jpg\nx=3\ny=-2\nfx=abc\nfy=-8.1\n"  // fx unreadable
      "[projectItem4]\nname=good.jpg\nx=3\ny=-2\nfx=12.6\nfy=-8.1\n"));
  ASSERT_EQ(c.Items.size(), 5u);
  EXPECT_FALSE(c.Items[0].HasFine);
  EXPECT_TRUE(c.Items[1].HasFine);
  EXPECT_FALSE(c.Items[2].HasFine);
  EXPECT_FALSE(c.Items[3].HasFine);
  const TPointF expected[] = {{12, -8}, {12, -8}, {12, -8}, {12, -8}, {12.6, -8.1}};
  for (std::size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(c.Items[i].Name);
    TLayerItemObject item;
    item.SetScale(0.25);
    ApplyItemOffset(item, c.Items[i]);
    EXPECT_EQ(item.GetFineOffset(), expected[i]);
    EXPECT_EQ(item.GetOffset(), (TPoint{3, -2}));
  }
}

TEST(ProjectReader, TheWindowsExampleWithItsDefaults) {
  const TProjectContent c = ReadProjectContent(
      TIniFile::Parse("[project]\r\nitemCount=2\r\nitemRotate=9000\r\n[projectItem0]\r\n"
                      "name=C:\\photos\\cup\\001.jpg\r\nx=0\r\ny=0\r\n[projectItem1]\r\n"
                      "name=C:\\photos\\cup\\002.jpg\r\nx=-3\r\ny=2\r\n[guideLine]\r\ncount=1\r\n"
                      "[guideItem0]\r\ntype=1\r\nscale=0.5\r\n"));
  ASSERT_EQ(c.Items.size(), 2u);
  EXPECT_EQ(c.Items[0].Name, "C:\\photos\\cup\\001.jpg");
  EXPECT_EQ(ExtractName(c.Items[1].Name), "002.jpg");
  EXPECT_EQ(c.Items[1].X, -3);
  EXPECT_EQ(c.Rotation, 9000);
  ASSERT_EQ(c.Guides.size(), 1u);
  EXPECT_EQ(c.Box, kDefaultRelBox);  // no trimBox section
}

TEST(ProjectReader, MissingAndUnreadableValues) {
  const TProjectContent c = ReadProjectContent(TIniFile::Parse(
      "[project]\nitemCount=3\nitemRotate=45000\n"
      "[projectItem0]\nname=a.jpg\nx=12.5\ny=0x10\n"
      "[projectItem2]\nname=c.jpg\n"
      "[projectItem3]\nname=beyond-the-count.jpg\n"
      "[guideLine]\ncount=4\n[guideItem0]\ntype=-1\nscale=0.5\n[guideItem1]\ntype=1\n"
      "[guideItem2]\ntype=7\nscale=0.3\n[guideItem3]\ntype=0\nscale=abc\n"
      "[trimBox]\np1x=0.2\np2y=nonsense\n"));
  ASSERT_EQ(c.Items.size(), 2u);  // projectItem1 is missing
  EXPECT_EQ(c.Items[0].X, 0);     // 12.5 is not an integer
  EXPECT_EQ(c.Items[0].Y, 16);    // 0x10
  EXPECT_EQ(c.Items[1].Index, 2);
  EXPECT_EQ(c.Rotation, 45000);
  ASSERT_EQ(c.Guides.size(), 1u);  // -1 type, missing scale, unreadable scale skipped
  EXPECT_EQ(c.Guides[0].Orientation, 7);
  EXPECT_EQ(c.Box, (TRelBox{0.2, 0.05, 0.95, 0.95}));
  EXPECT_EQ(ReadProjectContent(TIniFile()).ItemCount, -1);
}

TEST(ProjectReader, ElevenItemsAndAHugeCount) {
  std::string text = "[project]\nitemCount=2147483647\n";
  for (int i = 0; i < 11; ++i) {
    text += "[projectItem" + std::to_string(i) + "]\nname=" + std::to_string(i) + ".jpg\n";
  }
  text += "[projectItem010]\nname=leading-zero.jpg\n";
  const TProjectContent c = ReadProjectContent(TIniFile::Parse(text));
  ASSERT_EQ(c.Items.size(), 11u);
  EXPECT_EQ(c.Items[10].Name, "10.jpg");
  EXPECT_EQ(c.ItemCount, 2147483647);
}

TEST(ProjectReader, RandomBytesNeverBreakTheReader) {
  // Fragments of a project mixed with noise, read under the sanitizers.
  const std::string pieces[] = {"[project]", "itemCount=",  "0x7fffffff",  "[projectItem",
                                "]",         "name=",       "\r\n",        "\n",
                                "=",         "[guideLine]", "count=9",     "[guideItem1]",
                                "type=1",    "scale=1e308", "[trimBox]",   "p1x=-",
                                "\xff\xfe",  "\x82\xa0",    "\0",          "  ",
                                "\"",        "-2147483648", "scale=1e300", "scale=nan",
                                "p2y=1e300"};
  unsigned seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245 + 12345; };
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int k = 0; k < 40; ++k) {
      if (next() % 3 == 0) {
        text += static_cast<char>(next() >> 16);
      } else {
        text += pieces[(next() >> 8) % std::size(pieces)];
      }
    }
    const TProjectContent c = ReadProjectContent(TIniFile::Parse(text));
    EXPECT_LE(c.Items.size(), 40u);
    for (const TProjectGuideEntry& g : c.Guides)
      EXPECT_NE(g.Orientation, -1);
    // and on into the guides and the box, as a load applies them
    TGuideManagement guides;
    AddProjectGuides(guides, c.Guides);
    for (int i = 0; i < guides.Count(); ++i)
      EXPECT_TRUE(std::isfinite(guides.GetGuide(i)->GetRelPos()));
    TBandManagement box;
    box.SetRelBox(c.Box);
    EXPECT_LE(box.GetRelBox().p2x, 1.0);
  }
}

TEST(ProjectReader, GuidesWithOddTypesComeOutVertical) {
  TGuideManagement guides;
  AddProjectGuides(guides, {{7, 0.3}, {1, 0.5}});
  ASSERT_EQ(guides.Count(), 2);
  EXPECT_EQ(guides.GetGuide(0)->GetOrientation(), 0);
  EXPECT_EQ(guides.GetGuide(1)->GetOrientation(), 1);
}

TEST(ProjectReader, OnlySectionsThatExistAreVisited) {
  // Two billion counted, one section each: read at once, not in minutes.
  const TProjectContent c = ReadProjectContent(
      TIniFile::Parse("[project]\nitemCount=2147483647\n[projectItem2147483646]\nname=a.jpg\n"
                      "[guideLine]\ncount=2147483647\n[guideItem2147483000]\ntype=1\nscale=0.5\n"));
  ASSERT_EQ(c.Items.size(), 1u);
  EXPECT_EQ(c.Items[0].Index, 2147483646);
  ASSERT_EQ(c.Guides.size(), 1u);
  EXPECT_EQ(c.Guides[0].RelPos, 0.5);
}

TEST(ProjectReader, AFileThatIsNoProjectIsRefusedNotReadAsEmpty) {
  test::TempDir dir;
  TProjectContent c;
  std::ofstream(dir.File("noise.vpj")) << "\x01\x02 not an ini file at all";
  EXPECT_EQ(ReadProjectFile(dir.File("noise.vpj"), c).Code, TErrorCode::Unreadable);
  std::ofstream(dir.File("other.ini")) << "[settings]\nkey=1\n";
  EXPECT_EQ(ReadProjectFile(dir.File("other.ini"), c).Code, TErrorCode::Unreadable);
  {
    std::ofstream big(dir.File("big.vpj"));
    big << "[project]\nitemCount=0\n" << std::string(TIniFile::kMaxFileSize, ';');
  }
  const TResult tooBig = ReadProjectFile(dir.File("big.vpj"), c);
  EXPECT_EQ(tooBig.Code, TErrorCode::Unreadable);
  EXPECT_NE(tooBig.Error.find("too large"), std::string::npos);
  EXPECT_EQ(ReadProjectFile(dir.File("missing.vpj"), c).Code, TErrorCode::NotFound);
  std::ofstream(dir.File("empty.vpj")) << "[PROJECT]\n";
  EXPECT_TRUE(ReadProjectFile(dir.File("empty.vpj"), c).Ok());
  EXPECT_TRUE(c.Items.empty());
}

TEST_F(ProjectFile, ResetEmptiesTheProject) {
  AddItem("a.png", {1, 1});
  window.items.SetRotation(9000);
  window.doc.AddGuide(1, 0.5);
  window.doc.SetBox({0.2, 0.2, 0.4, 0.4});
  window.doc.SetProjectPath("/p/cup.vpj");
  window.view.calls.clear();
  TPrjFormat format;
  format.Reset();  // no window: nothing
  format.SetMainWindow(&window.doc);
  format.Reset();
  EXPECT_EQ(window.items.Count(), 0);
  EXPECT_EQ(window.items.GetRotation(), 0);
  EXPECT_EQ(window.guides.Count(), 0);
  EXPECT_EQ(window.box.GetRelBox(), kDefaultRelBox);
  // the panel hidden first; the guides, the box and the end each repaint
  EXPECT_EQ(window.view.calls, "hide;repaint;repaint;repaint;");
  EXPECT_EQ(window.doc.ProjectPath(), "");
}

}  // namespace
}  // namespace kalvane
