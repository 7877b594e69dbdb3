#include "export/ExportService.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "HoppingDispatcher.h"
#include "TestImages.h"
#include "export/ExportFolderLock.h"
#include "export/ExportTexts.h"
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

// Every long export offers the progress window's cancel, and a cancelled
// one leaves the file of an earlier export as it was, with nothing beside it.
TEST_F(ExportServiceTest, ACancelledExportLeavesTheEarlierFile) {
  TExportRequest movie = request;
  TExportRequest video = request;
  video.Kind = TExportKind::Video;
  video.Output = dir.File("turn.mp4");
  video.Width = 120;
  TExportRequest animation = request;
  animation.Kind = TExportKind::Animation;
  animation.Output = dir.File("turn.gif");
  for (const TExportRequest& r : {movie, video, animation}) {
    SCOPED_TRACE(r.Output);
    { std::ofstream(r.Output) << "earlier"; }
    progress.Cancellable = false;
    progress.OnStep = [this] { service.Cancel(); };
    EXPECT_EQ(service.Run(r).Code, TErrorCode::Cancelled);
    EXPECT_TRUE(progress.Cancellable);
    EXPECT_FALSE(progress.Shown);
    EXPECT_EQ(test::ReadText(r.Output), "earlier");
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().filename().string().find(".kalvane-"), std::string::npos)
        << entry.path();
}

// The animation's encoding takes longer than its frames: the window stays,
// says so, follows it and stops it.
TEST_F(ExportServiceTest, AnAnimationIsEncodedBehindTheProgressWindow) {
  TExportRequest animation = request;
  animation.Kind = TExportKind::Animation;
  animation.Output = dir.File("turn.webp");
  int encodingShown = 0, lastPercent = 0;
  progress.OnStep = [&] {
    if (progress.Message != kEncodeAnimationMessage) return;
    encodingShown += progress.Shown && progress.Cancellable ? 1 : 0;
    lastPercent = progress.Position;
    EXPECT_EQ(progress.MaxValue, 100);
  };
  ASSERT_TRUE(test::Ok(service.Run(animation)));
  EXPECT_GT(encodingShown, 0);
  EXPECT_GT(lastPercent, 0);
  EXPECT_FALSE(progress.Shown);

  { std::ofstream(animation.Output) << "earlier"; }
  progress.OnStep = [&] {
    if (progress.Message == kEncodeAnimationMessage) service.Cancel();
  };
  EXPECT_EQ(service.Run(animation).Code, TErrorCode::Cancelled);
  EXPECT_EQ(test::ReadText(animation.Output), "earlier");
}

// Shopify's pair cancelled in its second half: the video is written and
// named, the earlier animation stays.
TEST_F(ExportServiceTest, APairCancelledAfterItsVideoNamesTheVideo) {
  TExportRequest pair = request;
  pair.Kind = TExportKind::Video;
  pair.Width = 120;
  pair.Output = dir.File("turn.mp4");
  pair.Animation.Output = dir.File("turn.webp");
  { std::ofstream(pair.Output) << "earlier"; }
  { std::ofstream(pair.Animation.Output) << "earlier"; }
  progress.OnStep = [&] {
    if (progress.Message == kEncodeAnimationMessage) service.Cancel();
  };
  const TExportOutcome outcome = service.Run(pair);
  EXPECT_EQ(outcome.Code, TErrorCode::Cancelled);
  EXPECT_EQ(outcome.Frames, std::vector<std::string>{pair.Output});
  EXPECT_NE(test::ReadText(pair.Output), "earlier");
  EXPECT_EQ(test::ReadText(pair.Animation.Output), "earlier");
}

// Photos the load could not take fail the export, but only after the
// others were tried, so one run names a photo cut short too.
TEST_F(ExportServiceTest, PhotosFoundUnusableByTheLoadAreNamedWithThoseFoundLater) {
  const std::string cut = dir.File("photo1.jpg");
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
  request.Unusable = {dir.File("empty.jpg") + ": empty file, not a readable image"};
  for (const TExportKind kind : {TExportKind::PcMovie, TExportKind::Animation}) {
    TExportRequest r = request;
    r.Kind = kind;
    r.Output = dir.File(kind == TExportKind::PcMovie ? "out.swf" : "out.gif");
    const TExportOutcome outcome = service.Run(r);
    EXPECT_EQ(outcome.Code, TErrorCode::Unreadable);
    ASSERT_EQ(outcome.Unusable.size(), 2u);
    EXPECT_EQ(outcome.Unusable[0], request.Unusable[0]);
    EXPECT_NE(outcome.Unusable[1].find(cut), std::string::npos) << outcome.Unusable[1];
    EXPECT_EQ(outcome.Error, "2 photos cannot be used");
    EXPECT_EQ(progress.Position, 3);  // every photo was tried
    EXPECT_FALSE(std::filesystem::exists(r.Output));
  }
}

TEST(ExportFolderLockTest, ASecondExportWaitsAndSaysSo) {
  test::TempDir dir;
  TExportFolderLock first;
  ASSERT_TRUE(first.Take(dir.Path()).Ok());
  std::promise<void> waiting;
  std::future<TResult> second = std::async(std::launch::async, [&] {
    TExportFolderLock lock;
    return lock.Take(dir.Path(), [&](const TLockHolder&) { waiting.set_value(); });
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

// The waiting export learns who holds the folder: this very process here.
TEST(ExportFolderLockTest, TheWaitNamesTheHolder) {
  test::TempDir dir;
  TExportFolderLock held;
  ASSERT_TRUE(held.Take(dir.Path()).Ok());
  std::atomic<bool> cancel{false};
  std::vector<TLockHolder> told;
  TExportFolderLock second;
  const TResult waited = second.Take(
      dir.Path(),
      [&](const TLockHolder& holder) {
        told.push_back(holder);
        cancel = true;
      },
      &cancel);
  EXPECT_EQ(waited.Code, TErrorCode::Cancelled);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].Pid, static_cast<long>(getpid()));
  EXPECT_TRUE(told[0].Alive());
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").filename().string();
  EXPECT_EQ(told[0].Describe().rfind("pid " + std::to_string(getpid()) + ": ", 0), 0u)
      << told[0].Describe();
  EXPECT_NE(told[0].Describe().find(self), std::string::npos) << told[0].Describe();
  EXPECT_FALSE(second.Held());
}

// A lock held in the name of a process that is gone, or that runs another
// program now, is taken over; one whose holder is not known is waited for.
TEST(ExportFolderLockTest, ALockWhoseHolderIsGoneIsTakenOver) {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  TLockHolder gone = TLockHolder::Self();
  gone.Pid = child;
  TLockHolder other = TLockHolder::Of(getppid());
  ASSERT_GT(other.Pid, 0);
  other.PidSpace = gone.PidSpace;          // counted here
  other.Program = "/usr/bin/kalvane-cli";  // not what the parent runs
  for (const TLockHolder& stale : {gone, other}) {
    SCOPED_TRACE(stale.Describe());
    EXPECT_FALSE(stale.Alive());
    test::TempDir dir;
    const std::string file = dir.File(TExportFolderLock::kFileName);
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    const std::string record = stale.Record();
    ASSERT_EQ(write(fd, record.data(), record.size()), static_cast<ssize_t>(record.size()));
    std::atomic<bool> cancel{false};
    TExportFolderLock lock;
    EXPECT_TRUE(test::Ok(lock.Take(
        dir.Path(), [&](const TLockHolder&) { cancel = true; }, &cancel)));
    EXPECT_TRUE(lock.Held());
    EXPECT_EQ(TLockHolder::Parse(test::ReadText(file)).Pid, static_cast<long>(getpid()));
    close(fd);
  }

  // Held with no record (by some other program): waited for, unnamed.
  test::TempDir dir;
  const int fd =
      open(dir.File(TExportFolderLock::kFileName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  std::atomic<bool> cancel{false};
  long named = -1;
  TExportFolderLock lock;
  EXPECT_EQ(lock.Take(
                    dir.Path(),
                    [&](const TLockHolder& holder) {
                      named = holder.Pid;
                      cancel = true;
                    },
                    &cancel)
                .Code,
            TErrorCode::Cancelled);
  EXPECT_EQ(named, 0);
  close(fd);
}

}  // namespace
}  // namespace kalvane
