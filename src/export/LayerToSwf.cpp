#include "export/LayerToSwf.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/AppUtil.h"
#include "base/OrderedWork.h"
#include "base/Texts.h"
#include "document/BandManagement.h"
#include "document/LayerManagement.h"
#include "export/ExportFolderLock.h"
#include "export/ExportTexts.h"
#include "export/FramePlanner.h"
#include "export/SwfList.h"

namespace kalvane {

namespace {

// The movies' sink: each frame a JPEG file of the plan's name, listed in
// item order.
class TJpegFileSink : public TFrameSink {
 public:
  explicit TJpegFileSink(TSwfList& list) : List(list) {}
  TMadeFrame Make(const TFramePlan& frame) const override { return {Trimmer.MakeFrame(frame), {}}; }
  void Take(const TFramePlan& frame, TMadeFrame&) override { List.Add(frame.FileName); }
  // An earlier export's frame of that number.
  void Left(const TFramePlan& frame) override { std::remove(frame.FileName.c_str()); }

 private:
  const TImageTrimToJpeg Trimmer{};
  TSwfList& List;
};

}  // namespace

bool TLayerToSwf::IsReady() const {
  return Items && TrimBox && WorkWidth > 0 && WorkHeight > 0 && SwfWidth > 0 && Items->Count() > 0;
}

TExportResult TLayerToSwf::Plan(TExportPlan& plan) const {
  TExportResult result;
  plan = {};
  if (!Items || Items->Count() == 0) {
    result.SetFailure(TErrorCode::NoItems, "the project has no items");
    return result;
  }
  if (SwfWidth <= 0) {
    result.SetFailure(TErrorCode::BadSetting, "the width must be above 0");
    return result;
  }
  if (!IsReady()) {
    result.SetFailure(TErrorCode::BadSetting, "the export is not set up");
    return result;
  }
  // The list as it is now, held still while it is read.
  const TLayerManagement::TLockedView items = Items->LockedView();
  const int count = items.Count();
  if (count > TSwfList::kMaxFrames && !Shape.OneSize) {
    // Checked before the frames are made: a movie holds at most 1000.
    result.SetFailure(TErrorCode::TooManyItems,
                      std::to_string(count) + " items: a movie holds at most " +
                          std::to_string(TSwfList::kMaxFrames) + " frames");
    return result;
  }
  std::string folder = WithTrailingSlash(FrameFolder);
  if (folder.empty()) {
    folder = GetExportTempFolder();
    plan.SharedFolder = true;
  }
  const TRelBox box = TrimBox->GetRelBox();
  TFramePlanner planner({Items->GetItemScale(), WorkWidth, WorkHeight, box.p1x, box.p1y, box.p2x,
                         box.p2y, Items->GetRotation(), SwfWidth},
                        Shape);
  if (const TResult checked = planner.Check(); !checked.Ok()) {
    static_cast<TResult&>(result) = checked;
    return result;
  }
  // Every frame's geometry first (it needs no pixels), in item order.
  int h = 100;
  for (int i = 0; i < count; ++i) {
    const TLayerItemObject& item = items[i];
    const TPointF fine = item.GetFineOffset();
    plan.Frames.push_back(planner.PlanFine(i, item.GetFileName(), fine.X, fine.Y, folder));
    h = plan.Frames.back().Height;
  }
  plan.Width = planner.Width();
  plan.Height = h;
  const TIKRect cut = planner.SourceBox();
  plan.Cut = {cut.right - cut.left, cut.bottom - cut.top};
  return result;
}

TExportResult TLayerToSwf::Make(const TExportPlan& plan, const std::string& fileName) const {
  TExportResult result;
  const int count = static_cast<int>(plan.Frames.size());
  TExportProgress progress(Progress, count, CancelFlag != nullptr);
  TExportFolderLock lock;
  if (plan.SharedFolder) {
    if (const TResult prepared = PrepareExportTempFolder(); !prepared.Ok()) {
      static_cast<TResult&>(result) = prepared;
      return result;
    }
    // Frames keep their plain names (0.jpg, 1.jpg, ...) in the user's one
    // export folder; a second export running at the same time waits here
    // instead of overwriting this one's frames.
    const TResult locked = lock.Take(
        GetExportTempFolder(), [&progress](const TLockHolder& holder) { progress.Waiting(holder); },
        CancelFlag);
    if (!locked.Ok()) {
      static_cast<TResult&>(result) = locked;
      return result;
    }
    progress.Working();
  }

  TSwfList list;
  TJpegFileSink sink(list);
  result =
      RunFramePipeline(plan.Frames, sink, {&progress, CancelFlag, SkipUnreadable, &plan.Unusable});
  if (!result.Ok()) return result;
  for (int i = 0; i < list.Count(); ++i)
    result.Frames.push_back(list[i]);

  list.SetSwfWidth(plan.Width);
  list.SetSwfHeight(plan.Height);
  const TResult written =
      Mobile ? list.MakeMobileSwf(fileName, InstalledMobileKit(), GetFolderOf(list[0]), CancelFlag)
             : list.MakePcSwf(fileName);
  result.Width = list.Width();
  result.Height = list.Height();
  if (!written.Ok()) static_cast<TResult&>(result) = written;
  return result;
}

TExportResult TLayerToSwf::Execute(const std::string& fileName) const {
  TExportPlan plan;
  TExportResult result = Plan(plan);
  if (!result.Ok()) return result;
  return Make(plan, fileName);
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
