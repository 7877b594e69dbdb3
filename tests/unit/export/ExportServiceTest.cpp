#include "export/ExportService.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <thread>

#include "HoppingDispatcher.h"
#include "TestImages.h"
#include "export/ExportFolderLock.h"
#include "project/ProjectDocument.h"
#include "swf/JpegProbe.h"

namespace kalvane {
namespace {

// Records on which thread every progress call came.
class TThreadProgress : public TProgressModel {
 public:
  void SetPosition(int value) override {
    Threads.push_back(std::this_thread::get_id());
    TProgressModel::SetPosition(value);
    if (OnStep) OnStep();
  }
  void HideProgress() override {
    Threads.push_back(std::this_thread::get_id());
    TProgressModel::HideProgress();
  }
  std::vector<std::thread::id> Threads;
  std::function<void()> OnStep;
};

class ExportServiceTest : public testing::Test {
 protected:
  void SetUp() override {
    // Header-only items, as the command line loads them: the work size
    // must come from the photos' sizes, not from a rendered bitmap.
    document.LayerItems().SetDisplayCopies(false);
    document.LayerItems().SetItemScale(0.5);
    for (int i = 0; i < 3; ++i) {
      const std::string path = dir.File("photo" + std::to_string(i) + ".jpg");
      test::WriteGradient(path, 400, 300);
      document.LayerItems().AddItem("photo" + std::to_string(i) + ".jpg", path);
    }
    request.Output = dir.File("out.swf");
    request.Width = 200;
    request.FrameFolder = dir.File("frames");
    std::filesystem::create_directory(request.FrameFolder);
    service.SetProgress(&progress);
  }
  test::TempDir dir;
  test::THoppingDispatcher gui;
  TProjectDocument document;
  TThreadProgress progress;
  TExportService service{document, gui};
  TExportRequest request;
};

TEST_F(ExportServiceTest, TheWorkSizeComesFromTheItemsWithoutRendering) {
  EXPECT_EQ(document.WorkSize(), (TSize{200, 150}));
  document.LayerItems().SetRotation(9000);
  EXPECT_EQ(document.WorkSize(), (TSize{150, 200}));
  // Other angles: the bounding box, exactly as the turned copy has it.
  TLayerItemObject copy;
  copy.SetScale(0.5);
  copy.SetRotation(4500);
  ASSERT_TRUE(copy.LoadFromFile(dir.File("photo0.jpg")));
  document.LayerItems().SetRotation(4500);
  EXPECT_EQ(document.WorkSize(), copy.DisplaySize());
  EXPECT_GT(copy.DisplaySize().Width, 240);
}

TEST_F(ExportServiceTest, OnAWorkerWithProgressAndResultOnTheGuiThread) {
  std::optional<TExportOutcome> outcome;
  ASSERT_TRUE(service.Start(request, [&](const TExportOutcome& o) { outcome = o; }));
  // The document may change at once: the export works from its plan.
  document.LayerItems().Clear();
  gui.PumpUntil([&] { return outcome.has_value(); });
  ASSERT_TRUE(outcome->Ok()) << outcome->Error;
  EXPECT_FALSE(service.IsRunning());
  EXPECT_EQ(outcome->Frames.size(), 3u);
  EXPECT_EQ(outcome->Width, 200);
  EXPECT_EQ(outcome->Height, 150);
  EXPECT_TRUE(std::filesystem::exists(request.Output));
  ASSERT_FALSE(progress.Threads.empty());
  for (const std::thread::id& id : progress.Threads)
    EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_FALSE(progress.Shown);
}

TEST_F(ExportServiceTest, FailuresAndCancelComeBackAsResults) {
  std::optional<TExportOutcome> outcome;
  request.Width = 0;
  EXPECT_FALSE(service.Start(request, [&](const TExportOutcome& o) { outcome = o; }));
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->Code, TErrorCode::BadSetting);

  request.Width = 200;
  std::filesystem::remove(dir.File("photo2.jpg"));
  const TExportOutcome missing = service.Run(request);
  EXPECT_EQ(missing.Code, TErrorCode::Unreadable);
  EXPECT_NE(missing.Error.find("photo2.jpg"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(request.Output));

  TExportRequest pageSet = request;
  pageSet.Kind = TExportKind::PageSet;
  pageSet.Design = dir.File("design");
  pageSet.Output = dir.File("design/out");  // would write over the design
  std::filesystem::create_directories(pageSet.Output);
  EXPECT_EQ(service.Run(pageSet).Code, TErrorCode::UnsafeFolder);

  TProjectDocument empty;
  TExportService none(empty, gui);
  EXPECT_EQ(none.Run(request).Code, TErrorCode::NoItems);
}

TEST_F(ExportServiceTest, FrameSetsAndAnimationsAreExportsOfTheService) {
  TExportRequest set;
  set.Kind = TExportKind::FrameSet;
  set.Output = dir.File("set");
  set.LongSide = 100;
  set.Set.Name = "cup";
  set.Set.Square = true;
  set.Set.Count = 2;
  progress.Cancellable = false;
  std::optional<TExportOutcome> outcome;
  ASSERT_TRUE(service.Start(set, [&](const TExportOutcome& o) { outcome = o; }));
  gui.PumpUntil([&] { return outcome.has_value(); });
  ASSERT_TRUE(outcome->Ok()) << outcome->Error;
  EXPECT_EQ(outcome->Frames,
            (std::vector<std::string>{dir.File("set/cup_01.jpg"), dir.File("set/cup_02.jpg")}));
  EXPECT_EQ(outcome->Width, 100);
  EXPECT_EQ(outcome->Height, 100);
  EXPECT_EQ(progress.MaxValue, 2);
  EXPECT_TRUE(progress.Cancellable);  // the window may stop a set
  EXPECT_FALSE(progress.Shown);

  TExportRequest animation;
  animation.Kind = TExportKind::Animation;
  animation.Output = dir.File("turn.webp");
  animation.Width = 120;
  const TExportOutcome written = service.Run(animation);
  ASSERT_TRUE(written.Ok()) << written.Error;
  EXPECT_EQ(written.Width, 120);
  EXPECT_EQ(written.Height, 90);
  EXPECT_EQ(test::ReadText(animation.Output).substr(8, 4), "WEBP");
}

TEST_F(ExportServiceTest, FrameSetsAreRefusedBeforeAnyFrameAndStopWhenCancelled) {
  TExportRequest set;
  set.Kind = TExportKind::FrameSet;
  set.Output = dir.File("set");
  set.Set.Name = "cup";
  set.Set.Count = 4;  // more than the photos
  std::optional<TExportOutcome> outcome;
  EXPECT_FALSE(service.Start(set, [&](const TExportOutcome& o) { outcome = o; }));
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->Code, TErrorCode::BadSetting);
  EXPECT_EQ(progress.MaxValue, 100);  // nothing shown
  set.Set.Count = 0;
  set.Set.Background.Transparent = true;  // in a JPEG
  EXPECT_EQ(service.Run(set).Code, TErrorCode::BadSetting);
  TExportRequest animation;
  animation.Kind = TExportKind::Animation;
  animation.Output = dir.File("turn.apng");
  EXPECT_EQ(service.Run(animation).Code, TErrorCode::BadSetting);
  EXPECT_FALSE(std::filesystem::exists(set.Output));

  // The progress window's cancel, after the first frame: nothing arrives.
  set.Set.Background.Transparent = false;
  set.Set.Zip = true;
  progress.OnStep = [this] { service.Cancel(); };
  EXPECT_EQ(service.Run(set).Code, TErrorCode::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(set.Output));
}

TEST_F(ExportServiceTest, VideosAreRefusedBeforeAnyFrameAndStopWhenCancelled) {
  TExportRequest video;
  video.Kind = TExportKind::Video;
  video.Width = 120;
  video.Output = dir.File("turn.mp4");
  video.Video.Codec = TVideoCodec::Vp9;  // the name says MP4
  std::optional<TExportOutcome> outcome;
  EXPECT_FALSE(service.Start(video, [&](const TExportOutcome& o) { outcome = o; }));
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->Code, TErrorCode::BadSetting);
  video.Video.Codec = TVideoCodec::H264;
  video.Animation.Output = dir.File("turn.mp4");  // the pair in one file
  EXPECT_EQ(service.Run(video).Code, TErrorCode::BadSetting);
  video.Animation.Output = dir.File("turn.png");
  EXPECT_EQ(service.Run(video).Code, TErrorCode::BadSetting);
  EXPECT_EQ(progress.MaxValue, 100);  // nothing shown
  EXPECT_FALSE(std::filesystem::exists(video.Output));

  // Both of the pair from one plan; cancel leaves neither.
  video.Animation.Output = dir.File("turn.webp");
  const TExportOutcome written = service.Run(video);
  ASSERT_TRUE(written.Ok()) << written.Error;
  EXPECT_EQ(written.Frames, (std::vector<std::string>{video.Output, video.Animation.Output}));
  EXPECT_EQ(test::ReadText(video.Animation.Output).substr(8, 4), "WEBP");
  video.Output = dir.File("other.mp4");
  video.Animation.Output = dir.File("other.webp");
  progress.OnStep = [this] { service.Cancel(); };
  EXPECT_EQ(service.Run(video).Code, TErrorCode::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(video.Output));
  EXPECT_FALSE(std::filesystem::exists(video.Animation.Output));
}

TEST(ExportFolderLockTest, ASecondExportWaitsAndSaysSo) {
  test::TempDir dir;
  TExportFolderLock first;
  ASSERT_TRUE(first.Take(dir.Path()).Ok());
  std::promise<void> waiting;
  std::future<TResult> second = std::async(std::launch::async, [&] {
    TExportFolderLock lock;
    return lock.Take(dir.Path(), [&] { waiting.set_value(); });
  });
  waiting.get_future().wait();  // it found the folder taken
  first.Release();
  EXPECT_TRUE(second.get().Ok());

  std::atomic<bool> cancel{true};
  TExportFolderLock held, cancelled;
  ASSERT_TRUE(held.Take(dir.Path()).Ok());
  EXPECT_EQ(cancelled.Take(dir.Path(), nullptr, &cancel).Code, TErrorCode::Cancelled);
  EXPECT_EQ(cancelled.Take(dir.File("no/such/folder")).Code, TErrorCode::WriteFailed);
}

}  // namespace
}  // namespace kalvane
