#include "export/DesignExport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

class DesignFiles : public testing::Test {
 protected:
  void SetUp() override {
    design = dir.File("template/shop/framed/");
    fs::create_directories(design + "images");
    std::ofstream(design + "prev.jpg") << "thumbnail";
    std::ofstream(design + "prev.html") << "preview";
    std::ofstream(design + "velzoom.html") << "<html>page</html>";
    std::ofstream(design + "style.css") << "body{}";
    std::ofstream(design + "images/bg.png") << "in a sub-folder";
    std::ofstream(design + "velzoom.js")
        << "var help = \"true\";\r\nvar themeColor = \"#FF0000\"; // accent\r\n"
           "var bgcolor = \"#faf8f5\";\r\nvar other = \"#123456\";\r\n";
    out = dir.File("site/");
    fs::create_directories(out);
  }
  test::TempDir dir;
  std::string design, out;
};

TEST_F(DesignFiles, CopiesAllButThePreviewAndRewritesTheScript) {
  const TDesignResult r = TDesignExport::CopyDesign(design, out, true);
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_TRUE(fs::exists(out + "velzoom.html"));
  EXPECT_TRUE(fs::exists(out + "style.css"));
  EXPECT_FALSE(fs::exists(out + "prev.jpg"));
  EXPECT_FALSE(fs::exists(out + "prev.html"));
  EXPECT_FALSE(fs::exists(out + "images"));  // sub-folders are not copied
  EXPECT_EQ(test::ReadText(out + "velzoom.js"),
            "var help = \"true\";\r\nvar themeColor = \"FF0000\"; // accent\r\n"
            "var bgcolor = \"faf8f5\";\r\nvar other = \"#123456\";\r\n");
  EXPECT_EQ(test::ReadText(design + "velzoom.js").find("\"#FF0000\"") != std::string::npos, true);
}

TEST_F(DesignFiles, HelpOffAndOldFilesReplaced) {
  std::ofstream(out + "velzoom.html") << "an older page";
  std::ofstream(out + "veldata.swf") << "kept: the movie is written after";
  const TDesignResult r = TDesignExport::CopyDesign(design, out, false);
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(test::ReadText(out + "velzoom.html"), "<html>page</html>");
  EXPECT_NE(test::ReadText(out + "velzoom.js").find("var help = \"false\";"), std::string::npos);
  EXPECT_EQ(test::ReadText(out + "velzoom.js").find("var help = \"true\";"), std::string::npos);
  // a second export into the same folder replaces each file again
  ASSERT_TRUE(TDesignExport::CopyDesign(design, out, true).Ok());
  EXPECT_NE(test::ReadText(out + "velzoom.js").find("var help = \"true\";"), std::string::npos);
}

TEST_F(DesignFiles, StagedFilesReplaceNothingUntilCommitted) {
  std::ofstream(out + "velzoom.js") << "the published script";
  {
    const TDesignStage dropped = TDesignExport::StageDesign(design, out, false);
    ASSERT_TRUE(dropped.Result().Ok()) << dropped.Result().Error;
    EXPECT_EQ(test::ReadText(out + "velzoom.js"), "the published script");
  }
  // dropped: the folder as it was, no temporary left
  std::vector<std::string> left;
  for (const fs::directory_entry& e : fs::directory_iterator(out))
    left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"velzoom.js"});
  TDesignStage stage = TDesignExport::StageDesign(design, out, false);
  const TDesignResult placed = stage.Commit();
  ASSERT_TRUE(placed.Ok()) << placed.Error;
  EXPECT_EQ(placed.Copied, (std::vector<std::string>{"style.css", "velzoom.html", "velzoom.js"}));
  EXPECT_NE(test::ReadText(out + "velzoom.js").find("var help = \"false\";"), std::string::npos);
}

TEST_F(DesignFiles, ThemesLeaveOutThePreviewFolder) {
  const std::string templates = dir.File("template/");
  fs::create_directories(templates + "preview");
  fs::create_directories(templates + "simple/light");
  fs::create_directories(templates + "simple/dark");
  EXPECT_EQ(TDesignExport::Themes(templates), (std::vector<std::string>{"shop", "simple"}));
  EXPECT_EQ(TDesignExport::Designs(templates + "simple"),
            (std::vector<std::string>{"dark", "light"}));
  // installed read-only by a package: still listed; hidden folders are not
  fs::create_directories(templates + "simple/.cache");
  fs::permissions(templates + "simple/dark", fs::perms(0555));
  fs::permissions(templates + "simple", fs::perms(0555));
  EXPECT_EQ(TDesignExport::Themes(templates), (std::vector<std::string>{"shop", "simple"}));
  EXPECT_EQ(TDesignExport::Designs(templates + "simple"),
            (std::vector<std::string>{"dark", "light"}));
  fs::permissions(templates + "simple", fs::perms(0755));
}

TEST_F(DesignFiles, MissingFoldersAreErrors) {
  EXPECT_FALSE(TDesignExport::CopyDesign(dir.File("nowhere"), out, true).Ok());
  const TDesignResult r = TDesignExport::CopyDesign(design, dir.File("no/such/out"), true);
  EXPECT_FALSE(r.Ok());
  EXPECT_NE(r.Error.find("no/such/out"), std::string::npos);
}

TEST(DesignScript, OnlyTheTwoColourLinesLoseTheirHash) {
  EXPECT_EQ(TDesignExport::StripColourHashes("var themeColor = \"#abc\";var bgcolor = \"#def\";"),
            "var themeColor = \"abc\";var bgcolor = \"def\";");
  EXPECT_EQ(TDesignExport::StripColourHashes("var themecolor = \"#abc\";"),
            "var themecolor = \"#abc\";");
}

TEST(ViewerSettings, ReadFromTheScriptAndWrittenBack) {
  const std::string script =
      "var autoplay = \"false\";\nvar spinOnce = \"false\";\nvar stopOnTouch = \"true\";\n"
      "var resumeAfter = \"12\";\nvar loadOn = \"click\";\n";
  TViewerSettings s = ReadViewerSettings(script);
  EXPECT_EQ(s, (TViewerSettings{false, false, true, 12, true}));
  EXPECT_EQ(WithViewerSettings(script, s), script);
  s.Autoplay = true;
  s.ResumeAfter = 99999;  // kept within an hour
  s.LoadOnClick = false;
  EXPECT_EQ(WithViewerSettings(script, s),
            "var autoplay = \"true\";\nvar spinOnce = \"false\";\nvar stopOnTouch = \"true\";\n"
            "var resumeAfter = \"3600\";\nvar loadOn = \"near\";\n");
  // what a script lacks or holds unreadably keeps the default
  EXPECT_EQ(ReadViewerSettings("var autoplay = \"yes\";\nvar resumeAfter = \"-3\";\n"
                               "var loadOn = \"later\";\nvar spinOnce = \"false\n\";"),
            TViewerSettings{});
  EXPECT_EQ(ReadViewerSettings("var resumeAfter = \"5s\";"), TViewerSettings{});
}

TEST(ViewerSettings, OnlyTheNamedVariableChanges) {
  EXPECT_EQ(WithScriptValue("var poster = \"\";\nvar posterText = \"x\";\nvar poster = \"a\";",
                            "poster", "p.jpg"),
            "var poster = \"p.jpg\";\nvar posterText = \"x\";\nvar poster = \"p.jpg\";");
  // a value that does not end on its line is not one
  EXPECT_EQ(WithScriptValue("var poster = \"\n\";", "poster", "p"), "var poster = \"\n\";");
  EXPECT_EQ(ScriptValue("var loadOn = \"click\";", "loadOn"), "click");
  EXPECT_EQ(ScriptValue("var load = \"click\";", "loadOn"), std::nullopt);
}

TEST(PageTitle, ReplacesThePlaceholderEscaped) {
  const std::string page = "<title>商品名 | 360°</title><h1>商品名</h1><div aria-label=\"商品名\">";
  EXPECT_EQ(WithTitle(page, "A & B \"C\" <D> 'E'"),
            "<title>A &amp; B &quot;C&quot; &lt;D&gt; &#39;E&#39; | 360°</title>"
            "<h1>A &amp; B &quot;C&quot; &lt;D&gt; &#39;E&#39;</h1>"
            "<div aria-label=\"A &amp; B &quot;C&quot; &lt;D&gt; &#39;E&#39;\">");
  // no title, or only blanks: the placeholder stays
  EXPECT_EQ(WithTitle(page, ""), page);
  EXPECT_EQ(WithTitle(page, " \t\n "), page);
  // one line, trimmed
  EXPECT_EQ(CleanTitle("  Blue\r\nmug\t "), "Blue  mug");
}

TEST(PageTitle, SaysWhatTheNameAlreadySaysOnce) {
  const std::string page = "<title>商品名 | 360°ビュー</title><h1>商品名</h1>";
  EXPECT_EQ(WithTitle(page, "Mug 360° ビュー"),
            "<title>Mug 360° ビュー</title><h1>Mug 360° ビュー</h1>");
  EXPECT_EQ(WithTitle(page, "Mug"), "<title>Mug | 360°ビュー</title><h1>Mug</h1>");
  EXPECT_EQ(WithTitle("<title>商品名 | Shop | 360°</title>", "SHOP mug"),
            "<title>SHOP mug | 360°</title>");
}

TEST(PageDescription, TakesThePlaceOfTheSampleTextOrGoesWithItsLine) {
  const std::string page =
      "<section>\n    <p class=\"lead\" data-vz-description>ここに説明</p>\n    <p>hint</p>\n";
  EXPECT_EQ(
      WithDescription(page, "A <b> & B\r\n\nC\n"),
      "<section>\n    <p class=\"lead\" data-vz-description>A &lt;b&gt; &amp; B<br>\n<br>\nC</p>"
      "\n    <p>hint</p>\n");
  EXPECT_EQ(WithDescription(page, " \n "), "<section>\n    <p>hint</p>\n");
  // an element that shares its line leaves the rest of the line
  EXPECT_EQ(WithDescription("<div><p data-vz-description>x</p><p>y</p></div>", ""),
            "<div><p>y</p></div>");
  EXPECT_EQ(WithDescription("<p>no place for one</p>", "text"), "<p>no place for one</p>");
}

TEST(PageTitle, TheSnippetFramesTheViewerAloneAtTheMoviesShape) {
  EXPECT_EQ(
      EmbedSnippet("Mug & <cup>", 500, 375),
      "<!-- 360°ビュー: ショップのページのこの場所に貼り付けてください。src は、このフォルダーの "
      "viewer.html をそのページから見たアドレスに合わせます。 -->\n"
      "<div style=\"max-width:960px\"><div style=\"position:relative;padding-top:calc(100% * "
      "375 / 500 + 46px)\"><iframe src=\"viewer.html\" title=\"Mug &amp; &lt;cup&gt;\" "
      "allow=\"fullscreen\" loading=\"lazy\" style=\"position:absolute;inset:0;width:100%;"
      "height:100%;border:0\"></iframe></div></div>\n");
  EXPECT_NE(EmbedSnippet("", 1, 1).find("title=\"360°ビュー\""), std::string::npos);
  const std::string viewer = ViewerPage("Mug & <cup>");
  EXPECT_NE(viewer.find("<title>Mug &amp; &lt;cup&gt;</title>"), std::string::npos);
  EXPECT_NE(viewer.find("data-velzoom=\"veldata.swf\" data-fill"), std::string::npos);
  EXPECT_EQ(viewer.find("<h1"), std::string::npos);
}

TEST_F(DesignFiles, TheTitleAndTextGoIntoPagesOnly) {
  std::ofstream(design + "velzoom.html") << "<h1>商品名</h1><p data-vz-description>sample</p>";
  std::ofstream(design + "style.css") << "/* 商品名 */";
  TPageOptions page;
  page.Title = "Cup";
  page.Description = "White";
  ASSERT_TRUE(TDesignExport::CopyDesign(design, out, true, page).Ok());
  EXPECT_EQ(test::ReadText(out + "velzoom.html"), "<h1>Cup</h1><p data-vz-description>White</p>");
  EXPECT_EQ(test::ReadText(out + "style.css"), "/* 商品名 */");
}

}  // namespace
}  // namespace kalvane
