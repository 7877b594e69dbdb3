#include "export/LayerToSwf.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestImages.h"
#include "document/BandManagement.h"
#include "document/LayerManagement.h"
#include "export/FramePlanner.h"
#include "swf/JpegProbe.h"

namespace kalvane {
namespace {

class TCountingProgress : public TProgressModel {
 public:
  void HideProgress() override {
    ++Hidden;
    TProgressModel::HideProgress();
  }
  void SetPosition(int value) override {
    ++Steps;
    TProgressModel::SetPosition(value);
  }
  int Hidden = 0, Steps = 0;
};

std::vector<std::uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The width of every baseline JPEG frame in a movie, from its SOF0 marker.
std::vector<int> JpegWidths(const std::vector<std::uint8_t>& b) {
  std::vector<int> widths;
  for (std::size_t i = 0; i + 8 < b.size(); ++i) {
    if (b[i] == 0xFF && b[i + 1] == 0xC0) widths.push_back(b[i + 7] << 8 | b[i + 8]);
  }
  return widths;
}

class Export : public testing::Test {
 protected:
  void SetUp() override {
    items.SetWorkBitmap(&work);
    for (int i = 0; i < 3; ++i) {
      const std::string path = dir.File("photo" + std::to_string(i) + ".jpg");
      test::WriteGradient(path, 800, 600);
      items.AddItem("photo" + std::to_string(i) + ".jpg", path);  // scale 0.3: 240 x 180
      items.GetItem(i)->SetOffset({i * 2, -i});
    }
    items.Render();
    box.SetRelBox({0.1, 0.1, 0.9, 0.9});
    std::filesystem::create_directory(dir.File("frames"));
    exporter.SetProgress(&progress);
    exporter.SetItems(&items);
    exporter.SetTrimBox(&box);
    exporter.SetWorkSize(work.Width(), work.Height());
    exporter.SetSwfWidth(320);
    exporter.SetFrameFolder(dir.File("frames"));
  }
  test::TempDir dir;
  TBitmap24 work;
  TLayerManagement items;
  TBandManagement box;
  TCountingProgress progress;
  TLayerToSwf exporter;
};

TEST_F(Export, FramesInItemOrderAndTheMovie) {
  std::ofstream(dir.File("frames/1.jpg")) << "left over from an earlier export";
  const TExportResult r = exporter.Execute(dir.File("veldata.swf"));
  ASSERT_TRUE(r.Ok()) << r.Error;
  ASSERT_EQ(r.Frames.size(), 3u);
  EXPECT_EQ(r.Frames[1], dir.File("frames/1.jpg"));
  EXPECT_EQ(r.Width, 320);
  EXPECT_EQ(r.Height, 240);
  for (const std::string& frame : r.Frames) {
    const auto size = ProbeJpegSize(frame);
    ASSERT_TRUE(size) << frame;
    EXPECT_EQ(size->width, 320);
    EXPECT_EQ(size->height, 240);
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("veldata.swf")));
  EXPECT_EQ(progress.Caption, "しばらくお待ちください");
  EXPECT_EQ(progress.Message, "コンテンツデータ作成中...");
  EXPECT_EQ(progress.MaxValue, 3);
  EXPECT_EQ(progress.Position, 3);
  EXPECT_FALSE(progress.Cancellable);
  EXPECT_EQ(progress.Hidden, 1);
}

TEST_F(Export, FramesMadeAtOnceEqualFramesMadeOneByOne) {
  const TExportResult r = exporter.Execute(dir.File("veldata.swf"));
  ASSERT_TRUE(r.Ok()) << r.Error;
  TFramePlanner planner(
      {items.GetItemScale(), work.Width(), work.Height(), 0.1, 0.1, 0.9, 0.9, 0, 320});
  for (int i = 0; i < 3; ++i) {
    TFramePlan plan =
        planner.Plan(i, items.GetItem(i)->GetFileName(), items.GetItem(i)->GetOffset().X,
                     items.GetItem(i)->GetOffset().Y, dir.File("one-"));
    ASSERT_TRUE(test::Ok(TImageTrimToJpeg().MakeFrame(plan)));
    EXPECT_EQ(Bytes(plan.FileName), Bytes(r.Frames[static_cast<std::size_t>(i)])) << i;
  }
}

TEST_F(Export, FailuresAreReportedAndTheProgressIsHidden) {
  std::filesystem::remove(dir.File("photo1.jpg"));
  TExportResult r = exporter.Execute(dir.File("veldata.swf"));
  EXPECT_FALSE(r.Ok());
  EXPECT_NE(r.Error.find("photo1.jpg"), std::string::npos) << r.Error;
  EXPECT_EQ(progress.Hidden, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("veldata.swf")));

  box.SetRelBox({0.5, 0.1, 0.5, 0.9});
  r = exporter.Execute(dir.File("veldata.swf"));
  EXPECT_FALSE(r.Ok());
  EXPECT_NE(r.Error.find("trimming box"), std::string::npos);

  TLayerToSwf empty;
  TLayerManagement none;
  empty.SetItems(&none);
  r = empty.Execute(dir.File("veldata.swf"));
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.Error, "the project has no items");

  TLayerToSwf noWidth;
  noWidth.SetItems(&items);
  noWidth.SetTrimBox(&box);
  noWidth.SetWorkSize(100, 100);
  noWidth.SetSwfWidth(0);  // ignored: no width set
  EXPECT_FALSE(noWidth.IsReady());
  EXPECT_FALSE(noWidth.Execute(dir.File("veldata.swf")).Ok());
}

TEST_F(Export, APhotoCutShortSinceItsHeaderWasReadIsSkippedOnlyWhenAsked) {
  // The header still reads, so the photo was taken; its data ends halfway.
  const std::string cut = dir.File("photo1.jpg");
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
  TExportResult r = exporter.Execute(dir.File("veldata.swf"));
  EXPECT_FALSE(r.Ok());
  EXPECT_NE(r.Error.find(cut), std::string::npos) << r.Error;
  EXPECT_FALSE(std::filesystem::exists(dir.File("veldata.swf")));

  std::ofstream(dir.File("frames/1.jpg")) << "left over from an earlier export";
  exporter.SetSkipUnreadable(true);
  r = exporter.Execute(dir.File("veldata.swf"));
  ASSERT_TRUE(r.Ok()) << r.Error;
  EXPECT_EQ(r.Frames,
            (std::vector<std::string>{dir.File("frames/0.jpg"), dir.File("frames/2.jpg")}));
  ASSERT_EQ(r.Skipped.size(), 1u);
  EXPECT_NE(r.Skipped[0].find(cut), std::string::npos) << r.Skipped[0];
  EXPECT_EQ(JpegWidths(Bytes(dir.File("veldata.swf"))).size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("frames/1.jpg")));

  // Nothing left to make a movie of.
  for (const char* name : {"photo0.jpg", "photo2.jpg"})
    std::filesystem::resize_file(dir.File(name), std::filesystem::file_size(dir.File(name)) / 2);
  std::filesystem::remove(dir.File("veldata.swf"));
  r = exporter.Execute(dir.File("veldata.swf"));
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.Skipped.size(), 3u);
  EXPECT_FALSE(std::filesystem::exists(dir.File("veldata.swf")));
}

TEST_F(Export, TwoExportsAtOnceDoNotMixTheirFrames) {
  // Both use the user's one export folder; the second waits for the first.
  std::vector<TExportResult> results(2);
  std::vector<std::thread> exports;
  for (int i = 0; i < 2; ++i) {
    exports.emplace_back([&, i] {
      TLayerToSwf e;
      e.SetItems(&items);
      e.SetTrimBox(&box);
      e.SetWorkSize(work.Width(), work.Height());
      e.SetSwfWidth(i == 0 ? 320 : 200);
      results[static_cast<std::size_t>(i)] =
          e.Execute(dir.File("movie" + std::to_string(i) + ".swf"));
    });
  }
  for (std::thread& t : exports)
    t.join();
  for (const TExportResult& r : results) {
    EXPECT_TRUE(r.Ok()) << r.Error;
  }
  // Each movie holds its own three frames, none of the other's width.
  EXPECT_EQ(JpegWidths(Bytes(dir.File("movie0.swf"))), (std::vector<int>{320, 320, 320}));
  EXPECT_EQ(JpegWidths(Bytes(dir.File("movie1.swf"))), (std::vector<int>{200, 200, 200}));
}

TEST_F(Export, CancelledBetweenFramesWritesNoMovie) {
  std::atomic<bool> cancel{true};
  exporter.SetCancelFlag(&cancel);
  const TExportResult r = exporter.Execute(dir.File("veldata.swf"));
  EXPECT_EQ(r.Code, TErrorCode::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(dir.File("veldata.swf")));
  EXPECT_EQ(progress.Hidden, 1);
}

TEST(ExportWidth, TheDialogsRules) {
  EXPECT_EQ(TSwfExportWidth::OnConfirm(TSwfExportWidth::FromText("3000")), 2500);
  EXPECT_EQ(TSwfExportWidth::FromText("abc"), 100);
  EXPECT_EQ(TSwfExportWidth::FromText(""), 100);
  EXPECT_EQ(TSwfExportWidth::OnConfirm(TSwfExportWidth::FromText("50")), 50);  // Enter
  EXPECT_EQ(TSwfExportWidth::OnExit(50), 100);                                 // leaving the box
  EXPECT_EQ(TSwfExportWidth::OnExit(3000), 2500);
  EXPECT_EQ(TSwfExportWidth::OnConfirm(0), 0);
}

}  // namespace
}  // namespace kalvane
