#include "export/HtmlPreview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestImages.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

TEST(HtmlPreview, TheViewerIsCopiedAfreshEachTime) {
  test::TempDir dir;
  fs::create_directories(dir.File("velzoom"));
  std::ofstream(dir.File("velzoom/tmp.html")) << "page";
  std::ofstream(dir.File("velzoom/velzoom.js")) << "script";
  THtmlPreview preview(dir.File("velzoom"), dir.File("prev"));
  ASSERT_TRUE(test::Ok(preview.PrepareFolder()));
  EXPECT_EQ(test::ReadText(preview.PagePath()), "page");
  EXPECT_EQ(test::ReadText(dir.File("prev/velzoom.js")), "script");
  EXPECT_FALSE(fs::exists(dir.File("prev/velzoom.swf")));  // there is none to copy
  EXPECT_EQ(preview.MoviePath(), dir.File("prev/tmp.swf"));

  std::ofstream(dir.File("velzoom/velzoom.js")) << "newer script";
  std::ofstream(dir.File("prev/velzoom.js")) << "edited copy";
  std::ofstream(dir.File("prev/tmp.swf")) << "old movie";
  ASSERT_TRUE(test::Ok(preview.PrepareFolder()));
  EXPECT_EQ(test::ReadText(dir.File("prev/velzoom.js")), "newer script");
  EXPECT_EQ(test::ReadText(dir.File("prev/tmp.swf")), "old movie");  // the exporter replaces it
}

TEST(HtmlPreview, AMissingViewerIsAnError) {
  test::TempDir dir;
  THtmlPreview preview(dir.File("nowhere"), dir.File("prev"));
  std::string error;
  EXPECT_TRUE(test::Failed(preview.PrepareFolder(), &error));
  EXPECT_NE(error.find("tmp.html"), std::string::npos);
}

}  // namespace
}  // namespace kalvane
