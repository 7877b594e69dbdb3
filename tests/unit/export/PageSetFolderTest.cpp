#include "export/PageSetFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "HoppingDispatcher.h"
#include "TestImages.h"
#include "export/ExportService.h"
#include "project/ProjectDocument.h"
#include "swf/SwfReader.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

TErrorCode Place(const std::string& folder, const std::string& templates = "",
                 const std::string& design = "") {
  return TPageSetFolder(folder).CheckPlace(templates, design).Code;
}

// HOME pointed elsewhere for one test.
class THome {
 public:
  explicit THome(const std::string& home) {
    if (const char* old = std::getenv("HOME")) Old = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~THome() { setenv("HOME", Old.c_str(), 1); }

 private:
  std::string Old;
};

TEST(PageSetPlace, TheRootHomeAndSystemFoldersAreRefused) {
  for (const char* refused : {"/", "//", "/usr/", "/usr/share/doc/site", "/etc", "/bin/x", "/var",
                              "/tmp/", "/home", "/srv/../", "/proc/self"}) {
    EXPECT_EQ(Place(refused), TErrorCode::UnsafeFolder) << refused;
  }
  for (const char* allowed : {"/var/www/html", "/srv/site", "/tmp/site/", "/media/usb/site"})
    EXPECT_EQ(Place(allowed), TErrorCode::None) << allowed;
  EXPECT_EQ(Place(""), TErrorCode::BadSetting);

  test::TempDir dir;
  const THome home(dir.File("me"));
  EXPECT_EQ(Place(dir.File("me")), TErrorCode::UnsafeFolder);
  EXPECT_EQ(Place(dir.File("me/")), TErrorCode::UnsafeFolder);
  EXPECT_EQ(Place(dir.File("me/site/..")), TErrorCode::UnsafeFolder);
  EXPECT_EQ(Place(dir.File("me/site")), TErrorCode::None);
  // the templates and the design itself
  EXPECT_EQ(Place(dir.File("t/shop/x"), dir.File("t/")), TErrorCode::UnsafeFolder);
  EXPECT_EQ(Place(dir.File("d/out"), "", dir.File("d")), TErrorCode::UnsafeFolder);
  EXPECT_EQ(Place(dir.File("dx"), dir.File("t"), dir.File("d")), TErrorCode::None);
  // a link is judged by what it leads to
  fs::create_directory_symlink("/", dir.File("root"));
  fs::create_directory_symlink("/usr/share", dir.File("share"));
  EXPECT_EQ(Place(dir.File("root")), TErrorCode::UnsafeFolder);
  EXPECT_EQ(Place(dir.File("share/site")), TErrorCode::UnsafeFolder);
}

TEST(PageSetPlace, ATrailingSlashNamesTheFolderItself) {
  test::TempDir dir;
  EXPECT_EQ(TPageSetFolder(dir.File("site/")).Path(), dir.File("site/"));
  EXPECT_EQ(TPageSetFolder(dir.File("site//")).Path(), dir.File("site/"));
  EXPECT_EQ(TPageSetFolder("/").Path(), "/");
  // relative to the working folder, as a shell gives it
  EXPECT_EQ(TPageSetFolder("site/").Path(),
            (fs::weakly_canonical(fs::current_path()) / "site").string() + "/");
}

TEST(PageSetMark, OurEarlierFilesAreKnownAndOthersAreNot) {
  test::TempDir dir;
  const std::string out = dir.File("site/");
  fs::create_directories(out);
  std::ofstream(out + "velzoom.html") << "theirs";
  std::ofstream(out + "notes.txt") << "theirs";
  const TPageSetFolder folder(out);
  const std::vector<std::string> set{"style.css", "velzoom.html", "velzoom.js", "veldata.swf"};
  EXPECT_EQ(folder.Foreign(set), (std::vector<std::string>{"velzoom.html"}));

  ASSERT_TRUE(test::Ok(folder.Mark(set)));
  EXPECT_TRUE(folder.Foreign(set).empty());
  EXPECT_EQ(test::ReadText(out + "notes.txt"), "theirs");
  // A later set of another design: names of the first that are still there
  // stay ours, names that are gone are dropped.
  std::ofstream(out + "style.css") << "ours";
  ASSERT_TRUE(test::Ok(folder.Mark({"other.css"})));
  EXPECT_EQ(test::ReadText(out + TPageSetFolder::kMarkName),
            "# files of the page sets Kalvane wrote here; it replaces them without asking\n"
            "other.css\nstyle.css\nvelzoom.html\n");
  EXPECT_EQ(folder.Foreign({"notes.txt", "style.css"}), (std::vector<std::string>{"notes.txt"}));
}

// The page set through the export service, as both the editor and the
// command line run it.
class PageSetExport : public testing::Test {
 protected:
  void SetUp() override {
    document.LayerItems().SetDisplayCopies(false);
    document.LayerItems().SetItemScale(0.5);
    const std::string photo = dir.File("photo.jpg");
    test::WriteGradient(photo, 200, 100);
    document.LayerItems().AddItem("photo.jpg", photo);
    design = dir.File("design/");
    fs::create_directories(design);
    std::ofstream(design + "prev.jpg") << "thumbnail";
    std::ofstream(design + "velzoom.html") << "the design's page";
    std::ofstream(design + "velzoom.js") << "var help = \"true\";\n";
    request.Kind = TExportKind::PageSet;
    request.Design = design;
    request.Width = 100;
    request.FrameFolder = dir.File("frames");
    fs::create_directory(request.FrameFolder);
    out = dir.File("site/");
    fs::create_directories(out);
    request.Output = out;
  }
  test::TempDir dir;
  test::THoppingDispatcher gui;
  TProjectDocument document;
  TExportService service{document, gui};
  TExportRequest request;
  std::string design, out;
};

TEST_F(PageSetExport, ForeignFilesNeedConsentAndOurOwnAreReplaced) {
  std::ofstream(out + "velzoom.html") << "their page";
  std::ofstream(out + "notes.txt") << "their notes";
  TExportOutcome refused = service.Run(request);
  EXPECT_EQ(refused.Code, TErrorCode::WouldReplace);
  EXPECT_NE(refused.Error.find("velzoom.html"), std::string::npos) << refused.Error;
  EXPECT_EQ(test::ReadText(out + "velzoom.html"), "their page");
  EXPECT_FALSE(fs::exists(out + "veldata.swf"));
  EXPECT_FALSE(fs::exists(out + "velzoom.js"));

  request.Overwrite = true;
  ASSERT_TRUE(test::Ok(service.Run(request)));
  EXPECT_EQ(test::ReadText(out + "velzoom.html"), "the design's page");
  EXPECT_TRUE(fs::exists(out + "veldata.swf"));
  EXPECT_EQ(test::ReadText(out + "notes.txt"), "their notes");

  // Our own set is replaced without being asked again.
  request.Overwrite = false;
  std::ofstream(design + "velzoom.html") << "the design's new page";
  ASSERT_TRUE(test::Ok(service.Run(request)));
  EXPECT_EQ(test::ReadText(out + "velzoom.html"), "the design's new page");
}

TEST_F(PageSetExport, AFailedExportLeavesTheEarlierSetWhole) {
  std::ofstream(design + "zz.css") << "the design's style";
  ASSERT_TRUE(test::Ok(service.Run(request)));
  const std::vector<std::string> names = {"velzoom.html", "velzoom.js",     "zz.css",
                                          "veldata.swf",  "veldata-2x.swf", "poster.jpg",
                                          "viewer.html",  "embed.html"};
  const auto contents = [&] {
    std::vector<std::string> all;
    for (const std::string& name : names) {
      const std::string text = test::ReadText(out + name);
      // the movie by a digest, so a failure does not print its bytes
      all.push_back(name.ends_with(".swf") || name.ends_with(".jpg")
                        ? std::to_string(std::hash<std::string>()(text))
                        : text);
    }
    return all;
  };
  const std::vector<std::string> earlier = contents();
  const auto onlyTheSet = [&] {  // and no temporary left beside it
    std::vector<std::string> present;
    for (const fs::directory_entry& e : fs::directory_iterator(out))
      present.push_back(e.path().filename().string());
    std::sort(present.begin(), present.end());
    return present == std::vector<std::string>{TPageSetFolder::kMarkName,
                                               "embed.html",
                                               "poster.jpg",
                                               "veldata-2x.swf",
                                               "veldata.swf",
                                               "velzoom.html",
                                               "velzoom.js",
                                               "viewer.html",
                                               "zz.css"};
  };
  std::ofstream(design + "velzoom.html") << "the design's new page";
  std::ofstream(design + "velzoom.js") << "var help = \"true\"; // new\n";

  // a design file that cannot be read, after others were done
  fs::remove(design + "zz.css");
  fs::create_symlink(dir.File("nowhere.css"), design + "zz.css");
  const TExportOutcome unreadable = service.Run(request);
  EXPECT_FALSE(unreadable.Ok());
  EXPECT_NE(unreadable.Error.find("zz.css"), std::string::npos) << unreadable.Error;
  EXPECT_EQ(contents(), earlier);
  EXPECT_TRUE(onlyTheSet());

  // the movie failing after the design's files were made ready
  fs::remove(design + "zz.css");
  std::ofstream(design + "zz.css") << "the design's new style";
  fs::remove(dir.File("photo.jpg"));
  const TExportOutcome noPhoto = service.Run(request);
  EXPECT_EQ(noPhoto.Code, TErrorCode::Unreadable) << noPhoto.Error;
  EXPECT_EQ(contents(), earlier);
  EXPECT_TRUE(onlyTheSet());

  test::WriteGradient(dir.File("photo.jpg"), 200, 100);
  ASSERT_TRUE(test::Ok(service.Run(request)));
  EXPECT_EQ(test::ReadText(out + "velzoom.html"), "the design's new page");
  EXPECT_EQ(test::ReadText(out + "zz.css"), "the design's new style");
  EXPECT_TRUE(onlyTheSet());
}

TEST_F(PageSetExport, LinksInTheFolderAreNeverWrittenThrough) {
  // Files outside the folder, each named by a link where a file of the set goes.
  const auto plant = [&](const std::string& name) {
    const std::string outside = dir.File("outside-" + name);
    std::ofstream(outside) << "velzoom.js\nveldata.swf\n";  // as a mark would list them
    fs::create_symlink(outside, out + name);
    return outside;
  };
  const auto untouched = [&](const std::string& outside) {
    return test::ReadText(outside) == "velzoom.js\nveldata.swf\n";
  };
  // The mark as a link names nothing, and is replaced itself.
  const std::string mark = plant(TPageSetFolder::kMarkName);
  ASSERT_TRUE(test::Ok(service.Run(request)));
  EXPECT_TRUE(untouched(mark));
  EXPECT_FALSE(fs::is_symlink(out + TPageSetFolder::kMarkName));

  // Links of the set's names: not ours, so refused without consent, and
  // with it the links themselves are replaced.
  fs::remove_all(out);
  fs::create_directories(out);
  const std::string marked = plant(TPageSetFolder::kMarkName);
  std::vector<std::string> outside;
  for (const char* name : {"velzoom.js", "veldata.swf", "veldata-2x.swf", "poster.jpg"})
    outside.push_back(plant(name));
  const TExportOutcome refused = service.Run(request);
  EXPECT_EQ(refused.Code, TErrorCode::WouldReplace);
  EXPECT_NE(refused.Error.find("velzoom.js"), std::string::npos) << refused.Error;
  request.Overwrite = true;
  ASSERT_TRUE(test::Ok(service.Run(request)));
  EXPECT_TRUE(untouched(marked));
  for (const std::string& file : outside)
    EXPECT_TRUE(untouched(file)) << file;
  for (const char* name : {"velzoom.js", "veldata.swf", "veldata-2x.swf", "poster.jpg"})
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out + name))) << name;
  EXPECT_EQ(test::ReadText(out + "velzoom.js"), "var help = \"true\";\n");
}

TEST_F(PageSetExport, AFolderOrAWriteProtectedFileInTheWayStopsItBeforeAnyFrame) {
  fs::create_directories(out + "veldata.swf");
  TExportOutcome refused = service.Run(request);
  EXPECT_EQ(refused.Error, out + "veldata.swf: is a folder, not a file; it is never replaced");
  fs::remove(out + "veldata.swf");
  ASSERT_TRUE(test::Ok(service.Run(request)));
  fs::permissions(out + "veldata-2x.swf", fs::perms(0444));
  fs::remove_all(request.FrameFolder);
  fs::create_directory(request.FrameFolder);
  refused = service.Run(request);
  EXPECT_NE(refused.Error.find("veldata-2x.swf: the file is write-protected"), std::string::npos)
      << refused.Error;
  EXPECT_EQ(fs::status(out + "veldata-2x.swf").permissions(), fs::perms(0444));
  EXPECT_TRUE(fs::is_empty(request.FrameFolder));  // not one frame was made
}

TEST_F(PageSetExport, TheRootIsRefusedBeforeAnythingIsWritten) {
  request.Output = "/";
  const TExportOutcome root = service.Run(request);
  EXPECT_EQ(root.Code, TErrorCode::UnsafeFolder);
  EXPECT_FALSE(fs::exists("/velzoom.html"));
  EXPECT_FALSE(fs::exists(std::string("/") + TPageSetFolder::kMarkName));
  EXPECT_TRUE(fs::is_empty(request.FrameFolder));  // not one frame was made
}

}  // namespace
}  // namespace kalvane

namespace kalvane {
namespace {

// The files a shop's page set holds beside the design's.
TEST_F(PageSetExport, ThePosterTheSharperMovieAndTheSnippetComeWithTheSet) {
  std::ofstream(design + "velzoom.html") << "<title>商品名 | 360°</title><h1>商品名</h1>";
  std::ofstream(design + "velzoom.js")
      << "var autoplay = \"true\";\nvar resumeAfter = \"0\";\nvar loadOn = \"near\";\n"
         "var poster = \"\";\nvar largeMovie = \"\";\n";
  request.Title = "Mug <blue>";
  TViewerSettings viewer;
  viewer.Autoplay = false;
  viewer.ResumeAfter = 7;
  viewer.LoadOnClick = true;
  request.Viewer = viewer;
  const TExportOutcome outcome = service.Run(request);
  ASSERT_TRUE(test::Ok(outcome));
  EXPECT_EQ(test::ReadText(out + "velzoom.html"),
            "<title>Mug &lt;blue&gt; | 360°</title><h1>Mug &lt;blue&gt;</h1>");
  EXPECT_EQ(test::ReadText(out + "velzoom.js"),
            "var autoplay = \"false\";\nvar resumeAfter = \"7\";\nvar loadOn = \"click\";\n"
            "var poster = \"poster.jpg\";\nvar largeMovie = \"veldata-2x.swf\";\n");
  // the poster is the movie's first frame as it is
  ASSERT_FALSE(outcome.Frames.empty());
  EXPECT_EQ(test::ReadText(out + "poster.jpg"), test::ReadText(outcome.Frames.front()));
  EXPECT_EQ(outcome.Poster, out + "poster.jpg");
  // the same turn at twice the width up to the cut's own (180 of the
  // photo's 200), the frames of the first left in place
  const TSwfFile small = TSwfFile::Read(out + "veldata.swf");
  const TSwfFile large = TSwfFile::Read(out + "veldata-2x.swf");
  EXPECT_EQ(outcome.LargeMovie, out + "veldata-2x.swf");
  EXPECT_EQ(small.Stage().right, 20 * 100);
  EXPECT_EQ(large.Stage().right, 20 * 180);
  EXPECT_EQ(large.Stage().bottom, 20 * 90);
  EXPECT_EQ(outcome.Width, 100);
  EXPECT_EQ(test::ReadText(out + "embed.html"), EmbedSnippet("Mug <blue>", 100, 50));
  EXPECT_EQ(test::ReadText(out + "viewer.html"), ViewerPage("Mug <blue>"));
  // nothing of the work left in the folder
  for (const fs::directory_entry& e : fs::directory_iterator(out))
    EXPECT_FALSE(e.path().filename().string().starts_with(".kalvane-movies")) << e.path();
}

TEST_F(PageSetExport, AtTheLargestWidthNoSecondMovieIsMade) {
  std::ofstream(design + "velzoom.js") << "var largeMovie = \"\";\n";
  request.Width = 2500;
  const TExportOutcome outcome = service.Run(request);
  ASSERT_TRUE(test::Ok(outcome));
  EXPECT_TRUE(outcome.LargeMovie.empty());
  EXPECT_EQ(test::ReadText(out + "velzoom.js"), "var largeMovie = \"\";\n");
}

TEST_F(PageSetExport, AFailedSharperMovieLeavesNoWorkFolderBehind) {
  // the photo gone: the sharper movie, made first, fails
  fs::remove(dir.File("photo.jpg"));
  EXPECT_FALSE(service.Run(request).Ok());
  for (const fs::directory_entry& e : fs::directory_iterator(out))
    EXPECT_FALSE(e.path().filename().string().starts_with(".kalvane-movies")) << e.path();
  EXPECT_FALSE(fs::exists(out + "veldata-2x.swf"));
}

}  // namespace
}  // namespace kalvane
