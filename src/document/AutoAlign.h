#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/Geometry.h"
#include "document/LayerItemObject.h"
#include "imaging/ImageKit.h"

namespace kalvane {

class TLayerManagement;

// What aligning found for one item.
struct TAlignment {
  int Index = 0;
  TItemId Id = 0;  // the item measured
  std::string Name;
  TPoint Before;         // the offset it had, in work pixels
  TPoint After;          // the offset that cancels its shake (Before when not trusted)
  TPointF FineBefore;    // the same in photo pixels
  TPointF FineAfter;     // After to a fraction of a photo pixel (what Apply sets)
  double Sharpness = 0;  // the display copies' correlation peak; see TAutoAlign::kMinConfidence
  // How sure the offset is, 0 to 100: the part of the photo's detail that
  // agrees with it (what turns disagrees), less when little agrees.
  int Confidence = 0;
  bool Trusted = false;
  bool Refined = false;   // found on the photo itself, not only on its display copy
  bool Doubtful = false;  // worth a look: not refined, or Confidence below kDoubtful
};

// What an alignment did, for a summary line.
struct TAlignSummary {
  int Aligned = 0;            // items given a new offset (the first one counted)
  int Kept = 0;               // not trusted: kept their offsets
  double LargestShift = 0;    // the largest change, photo pixels
  std::vector<int> Doubtful;  // indexes
};

// The part of the picture the measurement looks at, in the trimming box's
// units: fractions of the image area.
struct TAlignRegion {
  double Left = 0, Top = 0, Right = 1, Bottom = 1;
};

// Finds, for every item, the offset that cancels the camera shake between
// the photos, so the exported frames stand still. Each photo's display copy
// is compared with the first item's by phase correlation, and measuring
// every photo against the same one keeps errors from adding up along the
// sequence. That places it to a work pixel (several photo pixels); then
// the region is cut from each photo itself, at a reduced size and where
// the first step put it, and compared again tile by tile to a fraction of
// a pixel: the tiles on what stays put (backdrop, the platter's rim, a
// round body's outline) agree and outvote those on what turns. The cuts
// come from the reduced copies the load kept, so no photo is decoded
// again unless it has none at the cut's size; on every core.
// The first item keeps its offset; the others are placed relative to it.
class TAutoAlign {
 public:
  // Below this the match is not trusted and the item keeps its offset.
  static constexpr double kMinConfidence = 8.0;
  // Below this Confidence an offset is flagged for a look.
  static constexpr int kDoubtful = 40;

  // The refinement's cut: the whole region, decoded at 1, 1/2, 1/4 or 1/8
  // of the photo's size, the largest that keeps the region's longer side
  // under kRefineMaxSide pixels; compared in tiles of kRefineTile.
  static constexpr int kRefineMaxSide = 1280;
  static constexpr int kRefineTile = 64;
  // The display copies spread over the turn whose median shows what
  // stands still.
  static constexpr int kSteadyPhotos = 15;
  // The shrink the refinement decodes a region of `longer` photo pixels
  // (its longer side) at.
  static int RefineShrink(double longer) {
    int shrink = 1;
    while (longer / shrink >= kRefineMaxSide && shrink < 8)
      shrink *= 2;
    return shrink;
  }

  void SetRegion(const TAlignRegion& region) { Region = region; }
  // Off: only the display copies are compared (whole work pixels).
  void SetRefine(bool on) { Refine = on; }
  // `step` is called after each item measured (for a progress bar).
  std::vector<TAlignment> Measure(const TLayerManagement& items,
                                  const std::function<void()>& step = nullptr) const;
  static TAlignSummary Summarize(const std::vector<TAlignment>& alignments);

 private:
  // What the refinement needs of an item, taken while the list is held so
  // the photos are cut without holding it.
  struct TPhotoRef {
    std::string Path;
    double Scale = 0;
    std::shared_ptr<const TIKReducedGrey> Kept;
  };
  // The region as the refinement cuts it from every photo: where on the
  // canvas (photo pixels) and at what size.
  struct TRefineCut {
    TIKRectF Region;
    int Width = 0, Height = 0;
    double Scale = 0;  // cut pixels per photo pixel
    // When Scale is 1/Shrink, the cut is made of a reduced decode's whole
    // pixels, with no resampling; 0 otherwise.
    int Shrink = 0;
    int Angle = 0;
    bool Usable() const { return Width >= 16 && Height >= 16; }
    // The region from the photo file placed at `at`; empty on failure.
    struct TPicture {
      TIKGrey Grey;
      // Where the region's edge lies past the cut's, in cut pixels: the
      // cut shows the region moved right and down by it.
      TPointF Fraction;
    };
    // From the photo's kept reduced copy when it has one at Shrink.
    TPicture From(const TPhotoRef& photo, TPointF at) const;
  };
  TRefineCut PlanRefineCut(const TLayerManagement& items) const;
  // Moves the trusted items' FineAfter to where their photos say.
  void RefineOnPhotos(const std::vector<TPhotoRef>& photos, double itemScale, const TRefineCut& cut,
                      const TRefineCut::TPicture& reference, std::vector<TAlignment>& found,
                      const std::function<void()>& step) const;

  TAlignRegion Region;
  bool Refine = true;
};

}  // namespace kalvane
