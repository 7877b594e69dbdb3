#pragma once

#include <memory>
#include <vector>

#include "imaging/PhaseCorrelation.h"

namespace kalvane {

// What the tiles agreed on.
struct TTiledShift {
  double dx = 0, dy = 0;  // moves the picture back onto the reference
  int Agreeing = 0;       // tiles that agree with the shift found
  double Share = 0;       // the agreeing tiles' part of the matched tiles' weight, 0..1
  bool Found = false;
};

// The shift of the camera between pictures of a turning object, to a
// fraction of a pixel: each picture is compared with the reference tile by
// tile, and the tiles that agree decide. What turns (the product, the
// marks on a platter, the handle's shadow) moves differently in every tile
// it covers; what stands still (the backdrop's edges, the platter's rim, a
// round body's outline) moves with the camera alone. A tile's say is as
// strong as its peak, and only in the directions its content fixes: an
// edge tells the shift across itself, not along. Reference tiles with
// nothing in them (a plain backdrop) are left out.
class TTiledCorrelator {
 public:
  // Tiles of `tile` pixels side by side over the whole reference, at half
  // its size with `halve` (quicker; the shift within a fifth of a pixel).
  TTiledCorrelator(const TIKGreyView& reference, int tile, bool halve);
  ~TTiledCorrelator();
  TTiledCorrelator(const TTiledCorrelator&) = delete;
  TTiledCorrelator& operator=(const TTiledCorrelator&) = delete;

  bool Usable() const { return !Tiles.empty(); }
  // A tile whose match lies farther than `reach` pixels from no shift has
  // none. May run on several threads at once.
  TTiledShift Measure(const TIKGreyView& picture, double reach) const;

  // A tile's peak below this is no match.
  static constexpr double kMinSharpness = 6.0;

 private:
  TTiledShift Measure(const TIKGreyView& picture, double reach, int) const;
  bool Halve = false;
  std::vector<std::unique_ptr<TPhaseCorrelator>> Tiles;
};

// The last step of the same: the shift to a hundredth of a pixel from the
// pictures' edges, pixel by pixel, each pixel counting as much as it
// agrees (a robust Lucas-Kanade). A pixel where something moved (a spot on
// the turning product, a platter's tick) disagrees by far more than the
// noise and drops out, even inside a tile that also holds an edge that
// stands still, whose phase correlation it would pull.
class TEdgeAligner {
 public:
  explicit TEdgeAligner(const TIKGreyView& reference);
  bool Usable() const { return Edges.size() >= 64; }
  struct TResult {
    double dx = 0, dy = 0;
    double Agreeing = 0;  // the edge pixels' part that agrees, 0..1
    bool Found = false;
  };
  // Each edge pixel's difference from the reference with the picture
  // moved by the shift, or kOutside.
  static constexpr float kOutside = 1e9f;
  std::vector<float> Residuals(const TIKGreyView& picture, double dx, double dy) const;
  // From a shift within about a pixel of the answer; the same sense as the
  // phase correlation's. Each edge pixel counts as much as `steadiness`
  // says, when given.
  TResult Refine(const TIKGreyView& picture, double dx, double dy,
                 const std::vector<float>& steadiness = {}) const;
  // How much each edge pixel counts, 0..1, from the residuals of every
  // picture of a set, each near its shift: over a whole turn, what stands
  // still matches in every picture, what turns in few.
  std::vector<float> Steadiness(const std::vector<std::vector<float>>& set) const;

 private:
  struct TEdge {
    int X, Y;
    float Value, Gx, Gy;
  };
  static constexpr std::size_t kMostEdges = 12000;
  std::vector<TEdge> Edges;
};

// Smooths a picture by about a pixel (a binomial filter). Pictures
// reduced by whole factors (a JPEG decoded at a half or a quarter) hold
// aliases that move unlike the picture when it moves by a fraction of a
// pixel; smoothed, their edges move with it.
void IKSmoothGrey(TIKGrey& grey);

}  // namespace kalvane
