#include "base/AppUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestImages.h"
#include "document/LayerManagement.h"
#include "export/DesignExport.h"
#include "export/MobileTools.h"
#include "imaging/ImageKit.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(AppUtilNames, ImageExtensionsAreTheFiveShortOnes) {
  EXPECT_TRUE(IsImageFile("PHOTO.JPG"));
  EXPECT_TRUE(IsImageFile("/a/b.c/x.Tif"));
  for (const char* ext : {".bmp", ".gif", ".png"})
    EXPECT_TRUE(IsImageFile(std::string("p") + ext));
  EXPECT_FALSE(IsImageFile("photo.jpeg"));
  EXPECT_FALSE(IsImageFile("photo.tiff"));
  EXPECT_FALSE(IsImageFile("jpg"));
  EXPECT_FALSE(IsImageFile("folder.jpg/photo"));
}

// Both programs collect photos alike: a folder's own files that are taken,
// in name order, and named files as the caller allows.
TEST(AppUtilNames, PhotosAreCollectedFromFoldersAndNamesInNameOrder) {
  TempDir dir;
  fs::create_directories(dir.File("shoot/sub"));
  for (const char* name :
       {"shoot/p10.jpg", "shoot/p9.jpg", "shoot/notes.txt", "shoot/sub/p1.jpg", "list.txt"})
    std::ofstream(dir.File(name)) << "x";
  std::vector<std::string> files;
  ASSERT_TRUE(CollectFiles({dir.File("shoot")}, IsImageFile, "an image", false, files).Ok());
  EXPECT_EQ(files, (std::vector<std::string>{dir.File("shoot/p9.jpg"), dir.File("shoot/p10.jpg")}));
  const TResult refused =
      CollectFiles({dir.File("list.txt")}, IsImageFile, "an image", false, files);
  EXPECT_EQ(refused.Error, dir.File("list.txt") + ": not an image");
  EXPECT_TRUE(CollectFiles({dir.File("list.txt")}, IsImageFile, "an image", true, files).Ok());
  EXPECT_EQ(CollectFiles({dir.File("gone")}, IsImageFile, "an image", true, files).Code,
            TErrorCode::NotFound);
}

TEST(AppUtilNames, WindowsAndUnixPathsSplitAtTheLastSeparator) {
  EXPECT_EQ(ExtractName("C:\\photos\\cup\\001.jpg"), "001.jpg");
  EXPECT_EQ(ExtractName("/home/u/cup/001.jpg"), "001.jpg");
  EXPECT_EQ(ExtractName("001.jpg"), "001.jpg");
  EXPECT_EQ(GetFolderOf("C:\\photos\\cup\\001.jpg"), "C:\\photos\\cup\\");
  EXPECT_EQ(GetFolderOf("/home/u/cup/001.jpg"), "/home/u/cup/");
  EXPECT_EQ(GetFolderOf("001.jpg"), "");
  EXPECT_EQ(QuoteText("a b"), "\"a b\"");
  std::vector<std::string> list{"1", "2", "3"};
  ReverseStrings(list);
  EXPECT_EQ(list, (std::vector<std::string>{"3", "2", "1"}));
}

TEST(AppUtilNames, NewItemNameComparesExactly) {
  TempDir dir;
  test::WriteSolid(dir.File("a.png"), 4, 4, 0, 0, 0);
  TLayerManagement list;
  EXPECT_TRUE(IsNewItemName("a.png", list));
  list.AddItem("a.png", dir.File("a.png"));
  EXPECT_FALSE(IsNewItemName("a.png", list));
  EXPECT_TRUE(IsNewItemName("A.png", list));
}

TEST(AppUtilImages, FitScaleFitsSixHundredWithoutEnlarging) {
  TempDir dir;
  test::WriteSolid(dir.File("a.png"), 1200, 900, 0, 0, 0);
  test::WriteSolid(dir.File("b.png"), 800, 600, 0, 0, 0);
  test::WriteSolid(dir.File("c.png"), 300, 200, 0, 0, 0);
  test::WriteSolid(dir.File("d.png"), 900, 1200, 0, 0, 0);
  EXPECT_DOUBLE_EQ(GetFitScale(dir.File("a.png")), 0.5);
  EXPECT_DOUBLE_EQ(GetFitScale(dir.File("b.png")), 0.75);
  EXPECT_DOUBLE_EQ(GetFitScale(dir.File("c.png")), 1.0);
  EXPECT_DOUBLE_EQ(GetFitScale(dir.File("d.png")), 0.5);
  EXPECT_EQ(GetFitScale(dir.File("missing.png")), -1.0);
  std::ofstream(dir.File("junk.png")) << "junk";
  EXPECT_EQ(GetFitScale(dir.File("junk.png")), -1.0);
}

TEST(AppUtilFiles, FolderListingMatchesTheAttributeSetExactly) {
  TempDir dir;
  for (const char* name : {"plain", ".hidden", "locked"})
    fs::create_directory(dir.File(name));
  chmod(dir.File("locked").c_str(), 0555);
  std::ofstream(dir.File("file.txt")) << "x";
  EXPECT_EQ(ListFolders(dir.Path(), faDirectory), (std::vector<std::string>{"plain"}));
  EXPECT_EQ(ListFolders(dir.Path(), faDirectory | faReadOnly),
            (std::vector<std::string>{"locked"}));
  EXPECT_EQ(ListFolders(dir.Path(), faDirectory | faHidden), (std::vector<std::string>{".hidden"}));
  EXPECT_EQ(Sorted(ListFiles(dir.Path())), (std::vector<std::string>{"file.txt"}));
  EXPECT_TRUE(ListFolders(dir.File("nowhere"), faDirectory).empty());
  chmod(dir.File("locked").c_str(), 0755);
}

TEST(AppUtilFiles, SizeOfMissingIsMinusOne) {
  TempDir dir;
  std::ofstream(dir.File("five")) << "12345";
  EXPECT_EQ(GetFileSizeOf(dir.File("five")), 5);
  EXPECT_EQ(GetFileSizeOf(dir.File("none")), -1);
}

TEST(AppUtilFiles, DisableHelpSwitchesEveryHelpLineOff) {
  TempDir dir;
  const std::string js = dir.File("velzoom.js");
  std::ofstream(js)
      << "var help = \"true\";\r\nvar x = 1; var help = \"true\";\nvar help = \"TRUE\";\n";
  ASSERT_TRUE(test::Ok(DisableHelp(js)));
  EXPECT_EQ(test::ReadText(js),
            "var help = \"false\";\r\nvar x = 1; var help = \"false\";\nvar help = \"TRUE\";\n");
  const std::string other = dir.File("other.js");
  std::ofstream(other) << "var themeColor = \"ff0000\";\n";
  ASSERT_TRUE(test::Ok(DisableHelp(other)));
  EXPECT_EQ(test::ReadText(other), "var themeColor = \"ff0000\";\n");
  EXPECT_TRUE(test::Ok(DisableHelp(dir.File("missing.js"))));
  EXPECT_FALSE(fs::exists(dir.File("missing.js")));
}

TEST(AppUtilFiles, CopyNewFileNeverOverwrites) {
  TempDir dir;
  std::ofstream(dir.File("src")) << "new";
  std::ofstream(dir.File("dst")) << "old";
  EXPECT_FALSE(CopyNewFile(dir.File("src"), dir.File("dst")));
  EXPECT_EQ(test::ReadText(dir.File("dst")), "old");
  EXPECT_TRUE(CopyNewFile(dir.File("src"), dir.File("fresh")));
  EXPECT_EQ(test::ReadText(dir.File("fresh")), "new");
  EXPECT_FALSE(CopyNewFile(dir.File("absent"), dir.File("other")));
  EXPECT_FALSE(fs::exists(dir.File("other")));
}

TEST(AppUtilFolders, MobileToolsNeedAllFourPieces) {
  TempDir dir;
  const std::string f = dir.Path() + "/";
  std::ofstream(f + "jpeg2swf") << "";
  std::ofstream(f + "swfcombine") << "";
  EXPECT_FALSE(MobileToolsPresentIn(f));
  fs::create_directory(f + "template_m");
  EXPECT_FALSE(MobileToolsPresentIn(f));
  std::ofstream(f + "template_m/velmobile.swf") << "";
  EXPECT_TRUE(MobileToolsPresentIn(f));
}

TEST(AppUtilFolders, MobileToolsMayLieApartFromTheirMasterMovie) {
  TempDir dir;
  const TMobileKit kit{dir.Path() + "/lib/", dir.Path() + "/share/"};
  fs::create_directories(kit.ToolFolder);
  fs::create_directories(kit.DataFolder + "template_m");
  std::ofstream(kit.ToolFolder + "jpeg2swf") << "";
  std::ofstream(kit.ToolFolder + "swfcombine") << "";
  EXPECT_FALSE(MobileToolsPresentIn(kit));
  std::ofstream(kit.DataFolder + "template_m/velmobile.swf") << "";
  EXPECT_TRUE(MobileToolsPresentIn(kit));
  // each piece is looked for in its own folder only
  EXPECT_FALSE(MobileToolsPresentIn(kit.ToolFolder));
  EXPECT_FALSE(MobileToolsPresentIn(kit.DataFolder));
}

TEST(AppUtilFolders, AnInstalledProgramFindsItsFoldersRelativeToItself) {
  TempDir dir;
  const std::string bin = dir.Path() + "/usr/bin/";
  fs::create_directories(bin);
  // nothing installed there: the program's own folder, as in a build tree
  EXPECT_EQ(InstalledFolder(bin, "../share/kalvane", "template"), bin);
  fs::create_directories(dir.Path() + "/usr/share/kalvane");
  EXPECT_EQ(InstalledFolder(bin, "../share/kalvane", "template"), bin);  // no marker yet
  fs::create_directories(dir.Path() + "/usr/share/kalvane/template");
  EXPECT_EQ(InstalledFolder(bin, "../share/kalvane", "template"),
            dir.Path() + "/usr/share/kalvane/");
  std::ofstream(bin + "jpeg2swf") << "";  // beside the program does not count when installed
  fs::create_directories(dir.Path() + "/usr/lib/kalvane");
  std::ofstream(dir.Path() + "/usr/lib/kalvane/jpeg2swf") << "";
  EXPECT_EQ(InstalledFolder(bin, "../lib/kalvane", "jpeg2swf"), dir.Path() + "/usr/lib/kalvane/");
  EXPECT_EQ(InstalledFolder(bin, "", "jpeg2swf"), bin);
}

TEST(AppUtilFolders, FoldersEndWithASlashAndArePrivateWhereTheyMustBe) {
  EXPECT_EQ(GetAppFolder().back(), '/');
  EXPECT_TRUE(fs::exists(GetAppFolder() + "kalvane_unit_tests"));
  EXPECT_EQ(GetTemplateFolder(), GetAppFolder() + "template/");
  EXPECT_EQ(GetDataFolder(), GetAppFolder());  // a build tree: beside the program
  EXPECT_EQ(GetHelperFolder(), GetAppFolder());
  ASSERT_TRUE(test::Ok(PrepareExportTempFolder()));
  struct stat st {};
  ASSERT_EQ(stat(GetExportTempFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  TempDir dir;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  EXPECT_EQ(GetUserDataFolder(), dir.Path() + "/Kalvane/");
  EXPECT_TRUE(fs::is_directory(dir.Path() + "/Kalvane"));
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

// The export folder lies where no other user can make it first: the
// session's runtime folder, else the user's cache; a place someone else
// took (or that is no folder) is passed over, never a reason to fail.
TEST(AppUtilFolders, TheExportFolderCannotBeTakenByAnotherUser) {
  TempDir dir;
  const std::string runtime = dir.File("run"), cache = dir.File("cache"), temp = dir.File("tmp");
  for (const std::string& f : {runtime, cache, temp})
    fs::create_directory(f);
  chmod(runtime.c_str(), 0700);
  // The folder the program used before: another user's, in the shared temporary folder.
  std::ofstream(temp + "/Kalvane-" + std::to_string(getuid())) << "taken";
  const test::ScopedEnv tmp("TMPDIR", temp.c_str());
  const test::ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.c_str());
  const test::ScopedEnv xdgCache("XDG_CACHE_HOME", cache.c_str());
  const auto mode = [](const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
  };

  EXPECT_EQ(GetExportTempFolder(), runtime + "/kalvane/");
  EXPECT_TRUE(test::Ok(PrepareExportTempFolder()));
  EXPECT_EQ(mode(runtime + "/kalvane"), 0700u);
  // A runtime folder others may enter is none: the cache serves.
  chmod(runtime.c_str(), 0755);
  EXPECT_EQ(GetExportTempFolder(), cache + "/kalvane/");
  chmod(runtime.c_str(), 0700);
  // Ours but opened to others: made private again.
  chmod((runtime + "/kalvane").c_str(), 0777);
  EXPECT_EQ(GetExportTempFolder(), runtime + "/kalvane/");
  EXPECT_EQ(mode(runtime + "/kalvane"), 0700u);
  // A file, or a link to a folder elsewhere, in its place.
  fs::remove(runtime + "/kalvane");
  std::ofstream(runtime + "/kalvane") << "x";
  EXPECT_EQ(GetExportTempFolder(), cache + "/kalvane/");
  fs::create_directory(dir.File("elsewhere"));
  fs::remove(cache + "/kalvane");
  fs::create_directory_symlink(dir.File("elsewhere"), cache + "/kalvane");
  {
    // Then a folder of this process alone, of a name nobody can guess.
    const std::string own = GetExportTempFolder();
    EXPECT_EQ(own.rfind(temp + "/kalvane-" + std::to_string(getuid()) + "-", 0), 0u) << own;
    EXPECT_EQ(mode(own), 0700u);
    EXPECT_EQ(GetExportTempFolder(), own);
    EXPECT_TRUE(test::Ok(PrepareExportTempFolder()));
  }
  fs::remove(cache + "/kalvane");
  if (geteuid() == 0) {
    // Made first by another user (only root can stage that here).
    fs::create_directory(cache + "/kalvane");
    ASSERT_EQ(chown((cache + "/kalvane").c_str(), 4242, 4242), 0);
    EXPECT_NE(GetExportTempFolder(), cache + "/kalvane/");
    fs::remove(cache + "/kalvane");
  }
  // A cache folder others may write in is passed over too.
  chmod(cache.c_str(), 0777);
  EXPECT_NE(GetExportTempFolder(), cache + "/kalvane/");
  chmod(cache.c_str(), 0755);
  EXPECT_EQ(GetExportTempFolder(), cache + "/kalvane/");
}

}  // namespace
}  // namespace kalvane
