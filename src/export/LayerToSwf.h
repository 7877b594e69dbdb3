#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/Progress.h"

namespace kalvane {

class TLayerManagement;
class TBandManagement;

// What an export came to.
struct TExportResult {
  bool Written = false;
  std::string Error;                // why not, when not written
  std::vector<std::string> Frames;  // the frame files made, in item order
  int Width = 0;                    // the movie's size
  int Height = 0;
};

// The export engine every export shares: one JPEG frame per item, cut to
// the trimming box, then the PC data movie (or, in mobile mode, the mobile
// movie). Frames are made on every core; the frame list and the progress
// stay in item order.
class TLayerToSwf {
 public:
  // The reporter the export shows; optional (nothing is shown without it).
  void SetProgress(IProgress* progress) {
    if (progress) Progress = progress;
  }
  void SetItems(TLayerManagement* items) {
    if (items) Items = items;
  }
  void SetTrimBox(TBandManagement* box) {
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
  // Folder for the frame files; the export's temporary folder by default.
  void SetFrameFolder(const std::string& folder) { FrameFolder = folder; }
  bool IsReady() const;

  // Makes the frames and the movie. The progress is hidden again in every
  // case; the result says whether a movie was written, and if not, why.
  TExportResult Execute(const std::string& fileName);

 private:
  IProgress* Progress = nullptr;
  TLayerManagement* Items = nullptr;
  TBandManagement* TrimBox = nullptr;
  std::int32_t WorkWidth = 0;
  std::int32_t WorkHeight = 0;
  std::int32_t SwfWidth = 0;
  bool Mobile = false;
  std::string FrameFolder;
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
