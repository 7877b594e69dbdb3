#include "project/LoadThread.h"
#include "project/ProjectTexts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "LoaderFakes.h"
#include "TestImages.h"
#include "base/AppUtil.h"
#include "project/ProjectFile.h"

namespace kalvane {
namespace {

using test::TempDir;

class Loading : public testing::Test {
 protected:
  std::string Photo(const std::string& folder, const std::string& name, int w = 40, int h = 30) {
    std::filesystem::create_directories(dir.File(folder));
    const std::string path = dir.File(folder + "/" + name);
    test::WriteSolid(path, w, h, 100, 100, 100);
    return path;
  }
  // A project whose items name the given paths, with offsets (i, -i).
  std::string Project(const std::vector<std::string>& paths, const std::string& extra = "") {
    std::string text =
        "[project]\nitemCount=" + std::to_string(paths.size()) + "\nitemRotate=9000\n";
    for (std::size_t i = 0; i < paths.size(); ++i) {
      text += "[projectItem" + std::to_string(i) + "]\nname=" + paths[i] +
              "\nx=" + std::to_string(i) + "\ny=-" + std::to_string(i) + "\n";
    }
    text +=
        "[guideLine]\ncount=1\n[guideItem0]\ntype=1\nscale=0.5\n"
        "[trimBox]\np1x=0.1\np1y=0.2\np2x=0.8\np2y=0.9\n" +
        extra;
    const std::string path = dir.File("project.vpj");
    std::ofstream(path) << text;
    return path;
  }
  void LoadProject(const std::string& path) {
    loader.SetMainWindow(&window.Doc);
    loader.SetFindDialog(&dialogs);
    loader.SetProjectPath(path);
    loader.Run();
  }
  std::vector<std::string> Order() {
    std::vector<std::string> names;
    for (int i = 0; i < window.Items.Count(); ++i)
      names.push_back(window.Items.GetItem(i)->GetItemName());
    return names;
  }

  TempDir dir;
  test::TFakeLoaderWindow window;
  test::TScriptedDialogs dialogs;
  TPrjLoadThread loader;
};

using Names = std::vector<std::string>;

TEST_F(Loading, AProjectComesBackInOrderWithItsRotationLast) {
  const std::string path = Project(
      {Photo("p", "a.png", 40, 30), Photo("p", "b.png", 40, 30), Photo("p", "c.png", 40, 30)});
  LoadProject(path);
  EXPECT_EQ(Order(), (Names{"a.png", "b.png", "c.png"}));
  EXPECT_EQ(window.Items.GetItem(2)->GetOffset(), (TPoint{2, -2}));
  EXPECT_EQ(window.Items.GetRotation(), 9000);
  EXPECT_EQ(window.Items.GetItem(0)->GetDisplayBitmap()->Width(), 30);  // turned
  EXPECT_EQ(window.Items.GetSelected(), window.Items.GetItem(0));
  EXPECT_EQ(window.Guides.Count(), 1);
  EXPECT_EQ(window.Box.GetRelBox(), (TRelBox{0.1, 0.2, 0.8, 0.9}));
  EXPECT_EQ(window.Caption, "Kalvane (" + path + ")");
  EXPECT_TRUE(window.Saved());
  EXPECT_EQ(window.Items.GetItemScale(), 1.0);  // 40 x 30 fits 600 x 600
  EXPECT_EQ(window.Log.front(), "hidePanel");
  EXPECT_NE(std::find(window.Log.begin(), window.Log.end(),
                      "setup:しばらくお待ちください:データ読み込み中...:1..3"),
            window.Log.end());
  EXPECT_EQ(window.Log.back(), "focus");
  EXPECT_EQ(dialogs.Log.size(), 0u);
}

TEST_F(Loading, APhotoWhoseNameIsNotUtf8IsFoundAfterSaving) {
  const std::string photo = Photo("p", "caf\xE9.png");
  test::TFakeLoaderWindow saved;
  saved.Items.SetItemScale(1.0);
  ASSERT_NE(saved.Items.AddItem("caf\xE9.png", photo), nullptr);
  TPrjSave save;
  save.SetMainWindow(&saved.Doc);
  const std::string path = dir.File("bytes.vpj");
  ASSERT_TRUE(test::Ok(save.Save(path)));
  LoadProject(path);
  ASSERT_EQ(Order(), (Names{"caf\xE9.png"}));
  EXPECT_EQ(window.Items.GetItem(0)->GetFileName(), photo);
  EXPECT_TRUE(dialogs.Log.empty()) << dialogs.Log.front();  // nobody was asked where it went
}

TEST_F(Loading, TheFirstPhotoChoosesTheScale) {
  LoadProject(Project({Photo("p", "big.png", 3000, 2000), Photo("p", "small.png", 400, 300)}));
  EXPECT_DOUBLE_EQ(window.Items.GetItemScale(), 0.2);
  EXPECT_EQ(window.Items.GetItem(1)->GetScale(), 0.2);
}

TEST_F(Loading, MovedPhotosAreSearchedInTheFolderTheUserAccepts) {
  const std::string a = Photo("moved", "a.png"), b = Photo("moved", "b.png");
  Photo("moved", "c.png");
  const std::string path = Project({"C:\\old\\a.png", "C:\\old\\b.png", "/old/c.png"});
  dialogs.Files = {a};
  dialogs.YesNo = {true};
  LoadProject(path);
  EXPECT_EQ(Order(), (Names{"a.png", "b.png", "c.png"}));
  EXPECT_EQ(dialogs.Count("open:"), 1);
  EXPECT_EQ(dialogs.Log[0], "open:a.pngが見つかりません。適切なファイルを指示してください。");
  EXPECT_EQ(dialogs.Log[1], "ask:確認:以後の画像ファイルも同じフォルダから検索しますか？");
  EXPECT_EQ(dialogs.Filter,
            "画像ファイル(*.jpg;*.png;*.tif;*.gif;*.bmp;*.webp;*.avif;*.heic;*.heif)|"
            "*.jpg;*.png;*.tif;*.gif;*.bmp;*.webp;*.avif;*.heic;*.heif");
  EXPECT_EQ(loader.GetSearchFolder(), dir.File("moved/"));
  EXPECT_EQ(window.Items.GetItem(1)->GetFileName(), b);
  EXPECT_FALSE(window.Saved());  // new paths: a save would record them
  // the progress was hidden for the question and shown again
  const auto hide = std::find(window.Log.begin(), window.Log.end(), "hide");
  ASSERT_NE(hide, window.Log.end());
  EXPECT_EQ(*(hide + 1), "show");
}

TEST_F(Loading, SayingNoAsksForTheNextMovedPhotoAgain) {
  const std::string a = Photo("moved", "a.png"), b = Photo("moved", "b.png");
  dialogs.Files = {a, b};
  dialogs.YesNo = {false, false};
  LoadProject(Project({"/old/a.png", "/old/b.png"}));
  EXPECT_EQ(dialogs.Count("open:"), 2);
  EXPECT_EQ(dialogs.Count("ask:"), 1);  // not for the last entry
  EXPECT_EQ(Order(), (Names{"a.png", "b.png"}));
}

TEST_F(Loading, GivingUpOnAMovedPhotoDiscardsTheProject) {
  std::vector<std::string> paths;
  for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"}) {
    paths.push_back("/old/" + std::string(name));
  }
  dialogs.Files = {Photo("moved", "a.png"), std::nullopt};
  dialogs.YesNo = {false};
  LoadProject(Project(paths));
  EXPECT_TRUE(loader.IsCancelled());
  EXPECT_EQ(loader.GetMissingPath(), "/old/b.png");
  EXPECT_EQ(window.Items.Count(), 0);
  EXPECT_EQ(window.Guides.Count(), 0);
  EXPECT_EQ(window.Caption, "Kalvane ");
  EXPECT_TRUE(window.Saved());  // no folder was remembered
}

TEST_F(Loading, CancelInTheMiddleDiscardsTheProject) {
  window.CancelAt = 2;  // the cancel button, while the second entry loads
  LoadProject(Project({Photo("p", "a.png"), Photo("p", "b.png"), Photo("p", "c.png")}));
  EXPECT_TRUE(loader.IsCancelled());
  EXPECT_EQ(window.Items.Count(), 0);
  EXPECT_EQ(window.Caption, "Kalvane ");
  EXPECT_NE(std::find(window.Log.begin(), window.Log.end(), "repaint"), window.Log.end());
}

TEST_F(Loading, DuplicateNamesAndBrokenPhotosAreBothReported) {
  const std::string a1 = Photo("one", "a.png"), a2 = Photo("two", "a.png");
  std::ofstream(dir.File("one/broken.png")) << "not an image";
  LoadProject(Project({a1, a2, dir.File("one/broken.png"), Photo("one", "z.png")}));
  // The broken photo stays in the project, without a picture, so a save
  // keeps its path and offset.
  EXPECT_EQ(Order(), (Names{"a.png", "broken.png", "z.png"}));
  EXPECT_FALSE(window.Items.GetItem(1)->HasImage());
  EXPECT_EQ(window.Items.GetItem(1)->GetOffset(), (TPoint{2, -2}));
  EXPECT_EQ(window.Items.GetItem(2)->GetOffset(), (TPoint{3, -3}));
  TPrjSave save;
  save.SetMainWindow(&window.Doc);
  EXPECT_NE(save.Text().find("name=" + dir.File("one/broken.png")), std::string::npos);
  ASSERT_EQ(loader.Rejected().size(), 2u);
  EXPECT_EQ(loader.Rejected()[0].Path, a2);
  EXPECT_NE(loader.Rejected()[0].Reason.find("same file name"), std::string::npos);
  EXPECT_EQ(loader.Rejected()[1].Path, dir.File("one/broken.png"));
  EXPECT_TRUE(loader.Rejected()[1].Kept);
  // Only the duplicate was not taken, and saving will drop it: it is named,
  // and the project differs from its file. The broken photo is named apart.
  ASSERT_EQ(dialogs.Log.size(), 2u);
  EXPECT_EQ(dialogs.Log[0], std::string("warn:確認:登録できなかったファイルが1個ありました。\r"
                                        "同一ファイル名などのアイテムは登録出来ません。") +
                                kDroppedEntriesNote + "\r" + loader.Rejected()[0].Reason);
  EXPECT_EQ(dialogs.Log[1],
            "warn:確認:" + KeptWithoutPictureMessage(1) + "\r" + loader.Rejected()[1].Reason);
  EXPECT_FALSE(window.Saved());
}

TEST_F(Loading, AHugeDeclaredPhotoIsRefusedWhenOnlyHeadersAreRead) {
  // The command line's export reads headers only. A photo whose header
  // claims 60000 x 60000 must neither choose the scale nor make the work
  // area: both come from the good photo after it.
  window.Items.SetDisplayCopies(false);
  std::filesystem::create_directories(dir.File("p"));
  test::WriteHugePng(dir.File("p/huge.png"));
  LoadProject(Project({dir.File("p/huge.png"), Photo("p", "good.png", 1200, 900)}));
  ASSERT_EQ(loader.Rejected().size(), 1u);
  EXPECT_EQ(loader.Rejected()[0].Path, dir.File("p/huge.png"));
  EXPECT_NE(loader.Rejected()[0].Reason.find("too large"), std::string::npos);
  EXPECT_DOUBLE_EQ(window.Items.GetItemScale(), 0.5);
  EXPECT_EQ(window.Items.WorkSize(), (TSize{450, 600}));  // turned a quarter
}

TEST_F(Loading, AnEmptyProjectStillGetsItsGuidesAndBox) {
  const std::string path = dir.File("empty.vpj");
  std::ofstream(path) << "[project]\nitemCount=0\n[guideLine]\ncount=1\n[guideItem0]\ntype=0\n"
                         "scale=0.25\n[trimBox]\np1x=0.3\n";
  LoadProject(path);
  EXPECT_EQ(window.Items.Count(), 0);
  EXPECT_EQ(window.Guides.Count(), 1);
  EXPECT_EQ(window.Box.GetRelBox().p1x, 0.3);
  EXPECT_NE(std::find(window.Log.begin(), window.Log.end(), "show"), window.Log.end());
  EXPECT_EQ(std::find(window.Log.begin(), window.Log.end(), "hidePanel"), window.Log.end());
}

TEST_F(Loading, AHugeCountOverFewSectionsLoadsPromptly) {
  const std::string path = Project({Photo("p", "a.png")});
  std::string text;
  {
    std::ifstream in(path);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  text.replace(text.find("itemCount=1"), 11, "itemCount=2147483647");
  std::ofstream(path) << text;
  LoadProject(path);
  EXPECT_EQ(Order(), (Names{"a.png"}));
}

TEST_F(Loading, GivingUpAfterASearchLeavesAnEmptySavedProject) {
  const std::string a = Photo("moved", "a.png");
  dialogs.Files = {a, std::nullopt};
  dialogs.YesNo = {true};  // search the same folder: b is not there
  LoadProject(Project({"/old/a.png", "/old/b.png", "/old/c.png"}));
  EXPECT_TRUE(loader.IsCancelled());
  EXPECT_FALSE(loader.GetSearchFolder().empty());
  EXPECT_EQ(window.Items.Count(), 0);
  EXPECT_TRUE(window.Saved());
}

class Adding : public Loading {
 protected:
  void Add(std::vector<std::string> files, bool insert) {
    TPrjItemLoadThread adder;
    adder.SetMainWindow(&window.Doc);
    adder.SetDialogs(&dialogs);
    adder.SetFiles(std::move(files));
    adder.SetInsertMode(insert);
    adder.Run();
    rejected = adder.GetRejectedCount();
  }
  int rejected = 0;
};

TEST_F(Adding, PhotosComeInTheOneOrderOfNamesHoweverTheyAreGiven) {
  // numbers by value, letters without case: what the command line's load
  // and the editor's add both get, as both add through this loader
  Add({Photo("one", "p10.png"), Photo("one", "P3.png"), Photo("one", "p2.png")}, false);
  EXPECT_EQ(Order(), (Names{"p2.png", "P3.png", "p10.png"}));
  window.Items.SelectIndex(1);
  Add({Photo("two", "P3b.png"), Photo("two", "P3a10.png"), Photo("two", "P3a9.png")}, true);
  EXPECT_EQ(Order(), (Names{"p2.png", "P3.png", "P3a9.png", "P3a10.png", "P3b.png", "p10.png"}));
}

TEST_F(Adding, InsertedAfterTheCurrentItemInAscendingOrder) {
  Add({Photo("p", "0.png"), Photo("p", "1.png"), Photo("p", "2.png"), Photo("p", "3.png")}, false);
  window.Items.SelectIndex(2);
  // the window sorts a, b, c and reverses them for insert mode
  Add({Photo("q", "c.png"), Photo("q", "b.png"), Photo("q", "a.png")}, true);
  EXPECT_EQ(Order(), (Names{"0.png", "1.png", "2.png", "a.png", "b.png", "c.png", "3.png"}));
  EXPECT_FALSE(window.Saved());
  EXPECT_EQ(window.Items.GetSelected()->GetItemName(), "2.png");
}

TEST_F(Adding, WrongExtensionsAreNotCountedAndDuplicatesAreReportedOnce) {
  Add({Photo("p", "a.png"), Photo("p", "b.png")}, false);
  EXPECT_EQ(window.Items.GetSelected(), window.Items.GetItem(0));  // selected at the end
  std::ofstream(dir.File("x.jpeg")) << "";
  std::ofstream(dir.File("y.txt")) << "";
  Add({dir.File("x.jpeg"), dir.File("y.txt")}, true);
  EXPECT_EQ(rejected, 0);
  EXPECT_EQ(dialogs.Count("warn:"), 0);
  Add({Photo("q", "a.png"), Photo("q", "b.png")}, true);
  EXPECT_EQ(rejected, 2);
  EXPECT_EQ(dialogs.Count("warn:"), 1);
  EXPECT_NE(dialogs.Log.back().find("登録できなかったファイルが2個ありました。"),
            std::string::npos);
  EXPECT_EQ(window.Items.Count(), 2);
}

TEST_F(Adding, CancelKeepsWhatWasAdded) {
  window.CancelAt = 2;
  Add({Photo("p", "a.png"), Photo("p", "b.png"), Photo("p", "c.png")}, false);
  EXPECT_EQ(Order(), (Names{"a.png", "b.png"}));
}

TEST_F(Adding, TheScaleComesFromTheFirstPhotoTakenAndNothingAddedChangesNothing) {
  const std::string skipped = dir.File("p/a.jpeg");  // not an extension that is taken
  Photo("p", "a.png", 400, 300);
  std::filesystem::rename(dir.File("p/a.png"), skipped);
  window.Doc.MarkSaved();
  Add({skipped, dir.File("p/nothing.txt")}, false);
  EXPECT_EQ(window.Items.Count(), 0);
  EXPECT_TRUE(window.Saved());  // nothing was added
  Add({skipped, Photo("p", "b.png", 3000, 2000)}, false);
  EXPECT_DOUBLE_EQ(window.Items.GetItemScale(), 0.2);
  EXPECT_EQ(window.Items.GetItem(0)->GetDisplayBitmap()->Width(), 600);
}

TEST_F(Adding, UndecodableFilesAreNotAddedButCounted) {
  std::ofstream(dir.File("bad.jpg")) << "garbage";
  Add({dir.File("bad.jpg"), Photo("p", "good.png", 3000, 2000)}, false);
  EXPECT_EQ(Order(), (Names{"good.png"}));
  EXPECT_EQ(rejected, 1);
  EXPECT_DOUBLE_EQ(window.Items.GetItemScale(), 0.2);  // from the first readable photo
}

}  // namespace
}  // namespace kalvane
