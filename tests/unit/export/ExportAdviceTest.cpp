#include "export/ExportAdvice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "HoppingDispatcher.h"
#include "TestImages.h"
#include "document/BandManagement.h"
#include "export/ExportService.h"
#include "project/ProjectDocument.h"
#include "swf/SwfReader.h"

namespace kalvane {
namespace {

namespace fs = std::filesystem;

TEST(ExportAdvice, ACountThatDoesNotDivideThePhotosIsUnevenAndTheDivisorsAreOffered) {
  // 24 of 36: photos 0, 1, 3, 4, 6 ... at steps of one and two photos
  const TSetSpacing uneven = SetSpacing(36, 24);
  EXPECT_FALSE(uneven.Even);
  ASSERT_EQ(uneven.Angles.size(), 24u);
  EXPECT_EQ(std::vector<double>(uneven.Angles.begin(), uneven.Angles.begin() + 5),
            (std::vector<double>{0, 10, 30, 40, 60}));
  EXPECT_EQ(uneven.Steps, (std::vector<double>{10, 20}));
  EXPECT_EQ(EvenCounts(36), (std::vector<int>{36, 18, 12, 9, 6, 4, 3, 2}));
  EXPECT_EQ(EvenCounts(23), (std::vector<int>{23}));

  for (const int count : {12, 36, 0}) {  // 0: every photo
    const TSetSpacing even = SetSpacing(36, count);
    EXPECT_TRUE(even.Even) << count;
    EXPECT_EQ(even.Steps.size(), 1u) << count;
  }
  EXPECT_EQ(SetSpacing(36, 12).Steps.front(), 30);
  // the step round from the last photo to the first counts too: 7 of 8
  // takes 0-6, each a step of one, and back to 0 over two
  EXPECT_EQ(SetSpacing(8, 7).Steps, (std::vector<double>{45, 90}));

  // steps of a photo count that gives degrees in fractions
  const TSetSpacing fine = SetSpacing(100, 72);
  EXPECT_FALSE(fine.Even);
  EXPECT_EQ(DegreesText(fine.Steps.front()), "3.6");
  EXPECT_EQ(DegreesText(fine.Steps.back()), "7.2");
  EXPECT_EQ(DegreesText(360.0 / 7), "51.4");
  EXPECT_EQ(DegreesText(10), "10");
}

TEST(ExportAdvice, FramesBeyondATenthLargerThanTheCutAreTooMuch) {
  // Amazon's 2000 on the longer side of a 950 x 712 cut
  const TEnlargement amazon = PlannedEnlargement({950, 712}, 500, 2000);
  EXPECT_EQ(amazon.Frame, (TSize{2000, 1499}));
  EXPECT_NEAR(amazon.Factor(), 2000.0 / 950, 1e-9);
  EXPECT_TRUE(amazon.TooMuch());
  // a cut taller than wide: its height is the longer side
  const TEnlargement tall = PlannedEnlargement({600, 900}, 500, 2000);
  EXPECT_EQ(tall.Frame, (TSize{1333, 2000}));
  EXPECT_TRUE(tall.TooMuch());
  // at the limit, and one pixel beyond
  EXPECT_FALSE(PlannedEnlargement({1000, 500}, 1100, 0).TooMuch());
  EXPECT_TRUE(PlannedEnlargement({1000, 500}, 1101, 0).TooMuch());
  EXPECT_FALSE(PlannedEnlargement({1280, 960}, 500, 0).TooMuch());
  // the side limit holds the frames as it holds the export's
  const TEnlargement limited = PlannedEnlargement({1000, 4000}, 2500, 0);
  EXPECT_EQ(limited.Frame, (TSize{625, 2500}));
  EXPECT_FALSE(limited.TooMuch());
  // nothing known, nothing said
  EXPECT_EQ(PlannedEnlargement({}, 2000, 0).Factor(), 0);
  EXPECT_FALSE(TEnlargement{}.TooMuch());
}

// Page sets and movies of one photo, its cut 950 x 450 photo pixels.
class ExportCut : public testing::Test {
 protected:
  void SetUp() override {
    document.LayerItems().SetDisplayCopies(false);
    document.LayerItems().SetItemScale(0.5);
    Photo(1000, 500);
    document.SetTrimRelBox({0.025, 0.05, 0.975, 0.95});
    design = dir.File("design/");
    fs::create_directories(design);
    std::ofstream(design + "prev.jpg") << "thumbnail";
    std::ofstream(design + "velzoom.html") << "page";
    std::ofstream(design + "velzoom.js") << "var largeMovie = \"\";\n";
    request.FrameFolder = dir.File("frames");
    fs::create_directory(request.FrameFolder);
  }
  void Photo(int width, int height) {
    document.LayerItems().Clear();
    test::WriteGradient(dir.File("photo.jpg"), width, height);
    document.LayerItems().AddItem("photo.jpg", dir.File("photo.jpg"));
  }
  TExportOutcome PageSet(int width) {
    request.Kind = TExportKind::PageSet;
    request.Design = design;
    request.Width = width;
    request.Output = dir.File("site/");
    return service.Run(request);
  }
  test::TempDir dir;
  test::THoppingDispatcher gui;
  TProjectDocument document;
  TExportService service{document, gui};
  TExportRequest request;
  std::string design;
};

TEST_F(ExportCut, TheSharperMovieIsNeverWiderThanTheCut) {
  EXPECT_EQ(ProjectCut(document), (TSize{950, 450}));
  // twice 500 would be 1000: the cut's 950 instead
  TExportOutcome outcome = PageSet(500);
  ASSERT_TRUE(test::Ok(outcome));
  ASSERT_FALSE(outcome.LargeMovie.empty());
  TSwfFile large = TSwfFile::Read(outcome.LargeMovie);
  EXPECT_EQ(large.Stage().right, 20 * 950);
  EXPECT_EQ(large.Stage().bottom, 20 * 450);
  // below the cut, twice the width as before
  outcome = PageSet(400);
  ASSERT_TRUE(test::Ok(outcome));
  EXPECT_EQ(TSwfFile::Read(outcome.LargeMovie).Stage().right, 20 * 800);
  // a movie as wide as the cut has no sharper one
  outcome = PageSet(950);
  ASSERT_TRUE(test::Ok(outcome));
  EXPECT_TRUE(outcome.LargeMovie.empty());
  EXPECT_EQ(test::ReadText(dir.File("site/velzoom.js")), "var largeMovie = \"\";\n");
  // a cut wider than the largest movie: that limit holds
  Photo(3000, 100);
  outcome = PageSet(1300);
  ASSERT_TRUE(test::Ok(outcome));
  EXPECT_EQ(TSwfFile::Read(outcome.LargeMovie).Stage().right, 20 * 2500);
}

}  // namespace
}  // namespace kalvane
