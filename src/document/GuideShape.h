#pragma once

namespace kalvane {

// One guide line: which way it runs, and where, as a fraction of the image
// area's height (a horizontal guide) or width (a vertical one). Where it
// lies on screen and how it is dragged is the editor's business.
class TGuideShape {
 public:
  static constexpr int kHorizontal = 1;
  static constexpr int kVertical = 0;

  TGuideShape() = default;
  // Whatever a file holds arrives here: only 1 is horizontal, any other
  // orientation vertical; see SetRelPos for the place.
  TGuideShape(int orientation, double relPos);

  int GetOrientation() const { return Orientation; }
  bool Horizontal() const { return Orientation == kHorizontal; }
  double GetRelPos() const { return RelPos; }
  // A place that is not a number is the middle, and far-away places are
  // kept within reach of int arithmetic.
  void SetRelPos(double r);
  bool operator==(const TGuideShape&) const = default;

 private:
  int Orientation = kVertical;
  double RelPos = 0;
};

}  // namespace kalvane
