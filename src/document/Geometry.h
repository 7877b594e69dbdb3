#pragma once

#include <cstdint>

namespace kalvane {

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const TPoint&) const = default;
};

// A place to a fraction of a pixel.
struct TPointF {
  double X = 0;
  double Y = 0;
  bool operator==(const TPointF&) const = default;
};

struct TSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  bool operator==(const TSize&) const = default;
};

}  // namespace kalvane
