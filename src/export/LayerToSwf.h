#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/Seams.h"
#include "document/Geometry.h"
#include "export/FramePipeline.h"
#include "export/FramePlanner.h"

namespace kalvane {

class TLayerManagement;
class TBandManagement;

// Everything an export needs of the document, taken at its start: after
// that the document may change (or go) without touching the export.
struct TExportPlan {
  std::vector<TFramePlan> Frames;  // in item order
  int Width = 0;                   // the movie's size
  int Height = 0;
  TSize Cut;                  // the trimming box in photo pixels, as every frame is cut
  bool SharedFolder = false;  // the user's one export folder, which needs the lock
  // Photos found unusable before the export (by the load): the others'
  // frames are still made, to find any more, and the export then fails.
  std::vector<std::string> Unusable;
};

// The export engine every export shares: one JPEG frame per item, cut to
// the trimming box, then the PC data movie (or, in mobile mode, the mobile
// movie). Frames are made on every core; the frame list and the progress
// stay in item order.
class TLayerToSwf {
 public:
  // The reporter the export shows; optional (nothing is shown without it).
  // It is called on the thread that makes the frames.
  void SetProgress(IProgress* progress) {
    if (progress) Progress = progress;
  }
  void SetItems(const TLayerManagement* items) {
    if (items) Items = items;
  }
  void SetTrimBox(const TBandManagement* box) {
    if (box) TrimBox = box;
  }
  void SetWorkSize(std::int32_t width, std::int32_t height) {
    if (width > 0 && height > 0) {
      WorkWidth = width;
      WorkHeight = height;
    }
  }
  void SetSwfWidth(std::int32_t width) {
    if (width > 0) SwfWidth = width;
  }
  std::int32_t GetSwfWidth() const { return SwfWidth; }
  void SetMobile(bool mobile) { Mobile = mobile; }
  // Frames of one size for outputs other than the movies (see TFrameShape).
  void SetFrameShape(const TFrameShape& shape) { Shape = shape; }
  // Folder for the frame files; the export's temporary folder by default.
  void SetFrameFolder(const std::string& folder) { FrameFolder = folder; }
  // A photo that cannot be decoded when its frame is made (cut short, for
  // one) is left out and named in Skipped instead of failing the export.
  void SetSkipUnreadable(bool skip) { SkipUnreadable = skip; }
  // Checked between frames and while waiting for another export.
  void SetCancelFlag(const std::atomic<bool>* cancel) { CancelFlag = cancel; }
  bool IsReady() const;

  // Checks the settings and plans every frame from the document (on the
  // thread that owns it).
  TExportResult Plan(TExportPlan& plan) const;
  // Makes the frames and the movie of a plan; needs nothing else.
  TExportResult Make(const TExportPlan& plan, const std::string& fileName) const;
  // Both in turn. The progress is hidden again in every case; the result
  // says whether a movie was written, and if not, why.
  TExportResult Execute(const std::string& fileName) const;

 private:
  bool IsCancelled() const { return CancelFlag && *CancelFlag; }
  IProgress* Progress = nullptr;
  const TLayerManagement* Items = nullptr;
  const TBandManagement* TrimBox = nullptr;
  std::int32_t WorkWidth = 0;
  std::int32_t WorkHeight = 0;
  std::int32_t SwfWidth = 0;
  bool Mobile = false;
  TFrameShape Shape;
  bool SkipUnreadable = false;
  std::string FrameFolder;
  const std::atomic<bool>* CancelFlag = nullptr;
};

// The width box of the export dialog: 100 to 2500, 500 at first.
struct TSwfExportWidth {
  static constexpr int kMinimum = 100;
  static constexpr int kMaximum = 2500;
  static constexpr int kDefault = 500;
  // Text that is not a number reads as the minimum.
  static int FromText(const std::string& text);
  // Leaving the box puts the value within the limits.
  static int OnExit(int value);
  // OK lowers a value above the maximum; Enter confirms without leaving the
  // box, so a smaller typed value is used as typed.
  static int OnConfirm(int value);
};

}  // namespace kalvane
