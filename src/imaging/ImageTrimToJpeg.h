#pragma once

#include <string>

#include "imaging/ImageKit.h"

namespace kalvane {

// One frame: where it comes from, what to cut and how large to make it.
struct TFramePlan {
  int Index = 0;
  std::string Source;
  int Rotation = 0;
  TIKRect Crop;  // in the turned photo's pixels
  int Width = 0;
  int Height = 0;
  std::string FileName;
  // The cut itself lies this far right and down of Crop (under a pixel
  // either way): offsets are kept to a fraction of a photo pixel.
  double ShiftX = 0, ShiftY = 0;
};

// A frame made, with what was wrong with a photo that still decoded.
struct TFrameResult : TResult {
  std::string Warning;
};

// Cuts and scales frames, and writes them as JPEG of quality 85 (baseline).
class TImageTrimToJpeg {
 public:
  static constexpr int kQuality = 85;
  // From the turned photo: the rectangle scaled to exactly width x height.
  TResult TrimToJpeg(const TIKImage& image, TIKRect rect, const std::string& fileName, int width,
                     int height) const;
  // A planned frame straight from its photo file.
  TFrameResult MakeFrame(const TFramePlan& plan) const;
  // The same frame as an image, before it is encoded (for outputs that are
  // not JPEG); a failure or a damaged photo's warning rides on the image.
  TIKImage MakeFrameImage(const TFramePlan& plan) const;
};

}  // namespace kalvane
