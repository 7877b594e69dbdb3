#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kalvane {

// Every real-to-integer conversion goes through here: nearest, halves to the
// even neighbour (the default floating-point rounding mode). Values beyond
// the int range saturate instead of being undefined.
inline std::int32_t RoundInt(double value) {
  const double r = std::nearbyint(value);
  if (!(r >= static_cast<double>(std::numeric_limits<std::int32_t>::min()))) {
    return std::isnan(r) ? 0 : std::numeric_limits<std::int32_t>::min();
  }
  if (r > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(r);
}

}  // namespace kalvane
