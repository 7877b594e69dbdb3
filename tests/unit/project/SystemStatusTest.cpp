#include "project/SystemStatus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "TestImages.h"
#include "project/IniFile.h"

namespace kalvane {
namespace {

// A window's placement held in B.
template <typename Window>
class TFakePlacement : public Window {
 public:
  explicit TFakePlacement(TWindowBounds b) : B(b) {}
  TWindowBounds Bounds() const override { return B; }
  void SetLeft(int v) override { B.Left = v; }
  void SetTop(int v) override { B.Top = v; }
  void SetWidth(int v) override { B.Width = v; }
  void SetHeight(int v) override { B.Height = v; }
  TWindowBounds B;
};

class TFakeMain : public TFakePlacement<IMainWindowSettings> {
 public:
  TFakeMain() : TFakePlacement({10, 20, 800, 600}) {}
  bool IsNormalState() const override { return Normal; }
  bool Normal = true;
};

class TFakeTemplate : public TFakePlacement<ITemplateWindowSettings> {
 public:
  TFakeTemplate() : TFakePlacement({100, 120, 640, 480}) {}
  bool AfterOpen() const override { return After; }
  void SetAfterOpen(bool on) override { After = on; }
  bool UseHelp() const override { return Help; }
  void SetUseHelp(bool on) override { Help = on; }
  int SelectedTheme() const override { return Theme; }
  void SelectTheme(int i) override {
    Theme = i;
    Log += "theme" + std::to_string(i) + ";";
  }
  int SelectedItem() const override { return Item; }
  void SelectItem(int i) override {
    Item = i;
    Log += "item" + std::to_string(i) + ";";
  }
  bool HasPlace() const override { return Placed; }
  bool Placed = true;
  bool After = true, Help = true;
  int Theme = 0, Item = -1;
  std::string Log;
};

class Settings : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.File("template"));
    status = std::make_unique<TSystemStatus>(dir.File("velinit"), dir.File("template"));
    status->SetMainWindow(&main);
    status->SetTemplateWindow(&templ);
  }
  test::TempDir dir;
  TFakeMain main;
  TFakeTemplate templ;
  std::unique_ptr<TSystemStatus> status;
};

TEST_F(Settings, RoundTrip) {
  templ.After = false;
  templ.Theme = 2;
  templ.Item = 5;
  ASSERT_TRUE(test::Ok(status->SaveSettings()));
  const TIniFile file = TIniFile::Load(dir.File("velinit"));
  EXPECT_EQ(file.ReadInteger("main", "Right", 0), 810);
  EXPECT_EQ(file.ReadInteger("main", "Bottom", 0), 620);
  EXPECT_EQ(file.ReadInteger("template", "afteropen", -1), 0);
  EXPECT_EQ(file.ReadInteger("template", "usehelp", -1), 1);

  TFakeMain otherMain;
  TFakeTemplate otherTempl;
  TSystemStatus again(dir.File("velinit"), dir.File("template"));
  again.SetMainWindow(&otherMain);
  again.SetTemplateWindow(&otherTempl);
  otherMain.B = {};
  again.LoadSettings();
  EXPECT_EQ(otherMain.B, (TWindowBounds{10, 20, 800, 600}));
  EXPECT_EQ(otherTempl.B, (TWindowBounds{100, 120, 640, 480}));
  EXPECT_FALSE(otherTempl.After);
  EXPECT_EQ(otherTempl.Log, "theme2;item5;");
}

TEST_F(Settings, MaximizedWritesOnlyTheChoices) {
  ASSERT_TRUE(test::Ok(status->SaveSettings()));
  main.Normal = false;
  main.B = {0, 0, 1920, 1080};
  templ.B = {1, 1, 1, 1};
  templ.Theme = 3;
  ASSERT_TRUE(test::Ok(status->SaveSettings()));
  const TIniFile file = TIniFile::Load(dir.File("velinit"));
  EXPECT_EQ(file.ReadInteger("main", "Left", 0), 10);  // as stored before
  EXPECT_EQ(file.ReadInteger("template", "Left", 0), 100);
  EXPECT_EQ(file.ReadInteger("template", "SelectTheme", 0), 3);
}

TEST_F(Settings, ATemplateWindowNeverPlacedKeepsTheStoredPlace) {
  std::ofstream(dir.File("velinit")) << "[template]\nLeft=300\nTop=200\n";
  templ.Placed = false;
  templ.B = {0, 0, 640, 480};
  ASSERT_TRUE(test::Ok(status->SaveSettings()));
  const TIniFile file = TIniFile::Load(dir.File("velinit"));
  EXPECT_EQ(file.ReadInteger("template", "Left", 0), 300);
  EXPECT_EQ(file.ReadInteger("template", "Top", 0), 200);
  EXPECT_EQ(file.ReadInteger("main", "Left", 0), 10);
}

TEST_F(Settings, MissingKeysAreSkippedOneByOne) {
  std::ofstream(dir.File("velinit")) << "[main]\nLeft=100\nBottom=900\n";
  status->LoadSettings();
  EXPECT_EQ(main.B, (TWindowBounds{100, 20, 800, 600}));  // no Right, no Top
  EXPECT_TRUE(templ.After);
  EXPECT_EQ(templ.Log, "theme0;item-1;");  // the defaults
}

TEST_F(Settings, WithoutATemplateFolderTheTemplateWindowIsLeftAlone) {
  std::ofstream(dir.File("velinit")) << "[template]\nLeft=5\nTop=5\nusehelp=0\nSelectTheme=2\n";
  TSystemStatus noTemplates(dir.File("velinit"), dir.File("nowhere"));
  noTemplates.SetMainWindow(&main);
  noTemplates.SetTemplateWindow(&templ);
  noTemplates.LoadSettings();
  EXPECT_EQ(templ.B, (TWindowBounds{100, 120, 640, 480}));
  EXPECT_TRUE(templ.Help);
  EXPECT_EQ(templ.Log, "");
}

TEST_F(Settings, EdgesFromTheFileCannotOverflow) {
  std::ofstream(dir.File("velinit")) << "[main]\nLeft=-2\nRight=2147483647\nTop=2147483647\n"
                                        "Bottom=-2147483648\n";
  status->LoadSettings();
  EXPECT_EQ(main.B.Left, -2);
  EXPECT_EQ(main.B.Width, 100000);
  EXPECT_EQ(main.B.Height, 0);
}

TEST_F(Settings, NothingWithoutBothWindowsOrWithoutAFile) {
  status->LoadSettings();  // no file yet
  EXPECT_EQ(templ.Log, "");
  TSystemStatus lonely(dir.File("velinit"), dir.File("template"));
  lonely.SetMainWindow(&main);
  EXPECT_TRUE(test::Ok(lonely.SaveSettings()));
  EXPECT_FALSE(std::filesystem::exists(dir.File("velinit")));
}

}  // namespace
}  // namespace kalvane
