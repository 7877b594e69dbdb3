#include "document/GuideShape.h"

#include <algorithm>
#include <cmath>

namespace kalvane {

TGuideShape::TGuideShape(int orientation, double relPos)
    : Orientation(orientation == kHorizontal ? kHorizontal : kVertical) {
  SetRelPos(relPos);
}

void TGuideShape::SetRelPos(double r) {
  RelPos = std::isfinite(r) ? std::clamp(r, -100.0, 100.0) : 0.5;
}

}  // namespace kalvane
