#include "export/LayerToSwf.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "document/BandManagement.h"
#include "document/LayerManagement.h"
#include "export/SwfList.h"
#include "imaging/AppUtil.h"
#include "imaging/ImageTrimToJpeg.h"
#include "imaging/OrderedWork.h"

namespace kalvane {

namespace {

// Hides the reporter however the export ends.
class TShownProgress {
 public:
  TShownProgress(IProgress* progress, int count) : P(progress) {
    if (!P) return;
    P->SetCancellable(false);
    P->Setup(kProgressCaption, kExportMessage, 0, count);
    P->ShowProgress();
  }
  ~TShownProgress() {
    if (P) P->HideProgress();
  }
  void Step() {
    if (P) P->StepIt();
  }

 private:
  IProgress* P;
};

// An exclusive lock on a file, held until destruction.
class TFolderLock {
 public:
  TFolderLock() = default;
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;
  ~TFolderLock() {
    if (Fd >= 0) close(Fd);  // closing releases the lock
  }
  void Take(const std::string& path) {
    Fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (Fd >= 0) flock(Fd, LOCK_EX);
  }

 private:
  int Fd = -1;
};

struct TFrameDone {
  bool Ok = false;
  std::string Error;
};

}  // namespace

bool TLayerToSwf::IsReady() const {
  return Items && TrimBox && WorkWidth > 0 && WorkHeight > 0 && SwfWidth > 0 && Items->Count() > 0;
}

TExportResult TLayerToSwf::Execute(const std::string& fileName) {
  TExportResult result;
  auto fail = [&result](const std::string& why) {
    result.Error = why;
    return result;
  };
  if (!Items || Items->Count() == 0) return fail("the project has no items");
  if (SwfWidth <= 0) return fail("the width must be above 0");
  if (!IsReady()) return fail("the export is not set up");
  if (Mobile) return fail("the mobile movie is made by the mobile export");
  if (Items->Count() > TSwfList::kMaxFrames) {
    // Checked before the frames are made: a movie holds at most 1000.
    return fail(std::to_string(Items->Count()) + " items: a movie holds at most " +
                std::to_string(TSwfList::kMaxFrames) + " frames");
  }

  std::string folder = FrameFolder;
  TFolderLock lock;
  if (folder.empty()) {
    std::string error;
    if (!PrepareExportTempFolder(&error)) return fail(error);
    folder = GetExportTempFolder();
    // Frames keep their plain names (0.jpg, 1.jpg, ...) in the user's one
    // export folder; a second export running at the same time waits here
    // instead of overwriting this one's frames.
    lock.Take(folder + ".export-lock");
  } else if (folder.back() != '/') {
    folder += '/';
  }

  const TRelBox box = TrimBox->GetRelBox();
  TFramePlanner planner({Items->GetItemScale(), WorkWidth, WorkHeight, box.p1x, box.p1y, box.p2x,
                         box.p2y, Items->GetRotation(), SwfWidth});
  std::string error;
  if (!planner.Check(&error)) return fail(error);

  // Every frame's geometry first (it needs no pixels), in item order.
  std::vector<TFramePlan> plans;
  const int count = Items->Count();
  int h = 100;
  for (int i = 0; i < count; ++i) {
    const TLayerItemObject* item = Items->GetItem(i);
    plans.push_back(
        planner.Plan(i, item->GetFileName(), item->GetOffset().X, item->GetOffset().Y, folder));
    h = plans.back().Height;
  }
  SwfWidth = planner.Width();

  TShownProgress progress(Progress, count);
  TSwfList list;
  const TImageTrimToJpeg trimmer;
  TOrderedWork<TFrameDone> work;
  std::string frameError;
  auto deliver = [&](TFrameDone done) {
    progress.Step();
    if (!done.Ok && frameError.empty()) frameError = done.Error;
  };
  for (const TFramePlan& plan : plans) {
    list.Add(plan.FileName);
    work.Add(
        [&trimmer, plan] {
          TFrameDone done;
          done.Ok = trimmer.MakeFrame(plan, &done.Error);
          return done;
        },
        deliver);
  }
  work.Finish(deliver);
  if (!frameError.empty()) return fail(frameError);
  for (int i = 0; i < list.Count(); ++i)
    result.Frames.push_back(list[i]);

  list.SetSwfWidth(SwfWidth);
  list.SetSwfHeight(h);
  const TSwfResult written = list.MakePcSwf(fileName);
  result.Width = list.Width();
  result.Height = list.Height();
  if (!written.Written) return fail(written.Error);
  result.Written = true;
  return result;
}

int TSwfExportWidth::FromText(const std::string& text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return kMinimum;
  return value;
}

int TSwfExportWidth::OnExit(int value) {
  return std::clamp(value, kMinimum, kMaximum);
}

int TSwfExportWidth::OnConfirm(int value) {
  return std::min(value, kMaximum);
}

}  // namespace kalvane
