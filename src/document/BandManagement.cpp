#include "document/BandManagement.h"

#include <algorithm>
#include <cmath>

namespace kalvane {

void TBandManagement::SetRelBox(const TRelBox& box) {
  auto sane = [](double v, double fallback) {
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : fallback;
  };
  const double x1 = sane(box.p1x, kDefaultRelBox.p1x), x2 = sane(box.p2x, kDefaultRelBox.p2x);
  const double y1 = sane(box.p1y, kDefaultRelBox.p1y), y2 = sane(box.p2y, kDefaultRelBox.p2y);
  RelBox = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

}  // namespace kalvane
