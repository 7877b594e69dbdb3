#pragma once

#include <string>

#include "base/Result.h"

#include "imaging/ImageTrimToJpeg.h"

namespace kalvane {

// Frame sets and animations want every frame of one size: worked out once
// from the trimming box (so a pixel of rounding in one item's crop does
// not change it), either at the width or with the longer side `LongSide`,
// and within the same limit as the movies.
struct TFrameShape {
  bool OneSize = false;
  int LongSide = 0;  // when above 0 (with OneSize), instead of the width
};

// What the frame step needs to know once per export.
struct TFrameInputs {
  double ItemScale = 0.3;                           // s: work pixels per source pixel
  int WorkWidth = 0, WorkHeight = 0;                // W, H of the work bitmap
  double Left = 0, Top = 0, Right = 0, Bottom = 0;  // the trimming box, fractions
  int Rotation = 0;                                 // A, hundredths of a degree
  int Width = 0;                                    // w, the requested frame width
};

// The geometry of the frame step: the box in source pixels once per
// export, then each item's crop rectangle, height and the 2500 limit that
// lowers the width for the rest of the export. Needs no pixels, so an
// export can plan every frame first and make them all at once.
class TFramePlanner {
 public:
  static constexpr int kMaxSide = 2500;

  // The movies' frames by default.
  explicit TFramePlanner(const TFrameInputs& in, const TFrameShape& shape = {});
  // False, with the reason, for a box of no width or height, or no scale.
  TResult Check() const;
  TIKRect SourceBox() const { return Box; }
  // Plans item i (offset in work pixels); may lower the width for this and
  // every later frame.
  TFramePlan Plan(int index, const std::string& source, int offsetX, int offsetY,
                  const std::string& folder);
  // The same with the offset in the photo's own pixels, to a fraction.
  TFramePlan PlanFine(int index, const std::string& source, double fineX, double fineY,
                      const std::string& folder);
  int Width() const { return FrameWidth; }

 private:
  TFrameInputs In;
  TFrameShape Shape;
  TIKRect Box;
  int FrameWidth;
  int LimitedHeight = 0;
};

}  // namespace kalvane
