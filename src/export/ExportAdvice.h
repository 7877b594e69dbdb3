#pragma once

#include <string>
#include <vector>

#include "document/Geometry.h"

namespace kalvane {

struct TExportPlan;
class TProjectDocument;

// Frames more than this many times the size of the cut (the trimming box
// in the photos' pixels) show it: soft edges, noise blown up. Below it
// the resampling is not seen.
inline constexpr double kEnlargementLimit = 1.1;

// An output's frames against the cut they are made from.
struct TEnlargement {
  TSize Frame;  // the picture, without any padding around it
  TSize Cut;
  // Frame over cut; 0 when either is not known.
  double Factor() const;
  bool TooMuch() const { return Factor() > kEnlargementLimit + 1e-9; }
};

// The trimming box in the photos' pixels, as the export cuts it; empty
// when the project has no photos or the box no size.
TSize ProjectCut(const TProjectDocument& document);
// A planned export's frames.
TEnlargement EnlargementOf(const TExportPlan& plan);
// A one-size output's frames before anything is planned: `width` wide, or
// the longer side `longSide` when above 0, within the frames' limit.
TEnlargement PlannedEnlargement(TSize cut, int width, int longSide);

// Where a set of `count` of `items` photos (0: all) lies around the turn.
struct TSetSpacing {
  bool Even = true;
  std::vector<double> Angles;  // of the photos taken, in degrees
  std::vector<double> Steps;   // the different steps between them, smallest first
};
TSetSpacing SetSpacing(int items, int count);
// The counts that take evenly spaced photos from `items`: its divisors,
// largest first, down to 2 (a single frame does not turn).
std::vector<int> EvenCounts(int items);
// Degrees as the messages write them: whole, or to a tenth.
std::string DegreesText(double degrees);

}  // namespace kalvane
