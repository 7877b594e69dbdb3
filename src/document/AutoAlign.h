#pragma once

#include <functional>
#include <string>
#include <vector>

#include "document/Geometry.h"

namespace kalvane {

class TLayerManagement;

// What aligning found for one item.
struct TAlignment {
  int Index = 0;
  std::string Name;
  TPoint Before;          // the offset it had
  TPoint After;           // the offset that cancels its shake (Before when not trusted)
  double Confidence = 0;  // the correlation peak's sharpness; see TAutoAlign::kMinConfidence
  bool Trusted = false;
};

// The part of the picture the measurement looks at, in the trimming box's
// units: fractions of the image area.
struct TAlignRegion {
  double Left = 0, Top = 0, Right = 1, Bottom = 1;
};

// Finds, for every item, the offset that cancels the camera shake between
// the photos, so the exported frames stand still. Each photo's display copy
// is compared with the first item's by phase correlation: what stays put
// (backdrop, base, the turntable's rim) decides, and measuring every photo
// against the same one keeps errors from adding up along the sequence.
// The first item keeps its offset; the others are placed relative to it.
class TAutoAlign {
 public:
  // Below this the match is not trusted and the item keeps its offset.
  static constexpr double kMinConfidence = 8.0;

  void SetRegion(const TAlignRegion& region) { Region = region; }
  // `step` is called after each item measured (for a progress bar).
  std::vector<TAlignment> Measure(const TLayerManagement& items,
                                  const std::function<void()>& step = nullptr) const;
  // Gives the trusted items their new offsets.
  static void Apply(TLayerManagement& items, const std::vector<TAlignment>& alignments);

 private:
  TAlignRegion Region;
};

}  // namespace kalvane
