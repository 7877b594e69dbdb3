#include "imaging/BackdropClean.h"

#include <algorithm>
#include <cmath>

namespace kalvane {

namespace {

// A shadow on the backdrop is the backdrop's colour at less light; deeper
// than this it is more likely a grey part of the object.
constexpr double kDeepestShadow = 0.6;

}  // namespace

void CleanBackdrop(TRgbImage& image, const std::array<double, 3>& backdrop,
                   const TCleanSettings& settings) {
  const double threshold = std::max(0.0, settings.Threshold) * kFullScale;
  const double soft = std::max(0.0, settings.SoftEdge) * kFullScale;
  const double backdropSum = backdrop[0] + backdrop[1] + backdrop[2];
  std::uint16_t* p = image.Pixels.data();
  const std::size_t n = image.Pixels.size() / 3;
  for (std::size_t i = 0; i < n; ++i, p += 3) {
    double d = std::max(
        {std::abs(p[0] - backdrop[0]), std::abs(p[1] - backdrop[1]), std::abs(p[2] - backdrop[2])});
    if (!settings.KeepShadows && backdropSum > 0) {
      const double shade = (p[0] + p[1] + p[2]) / backdropSum;
      if (shade >= kDeepestShadow && shade < 1) {
        d = std::min(
            d, std::max({std::abs(p[0] - shade * backdrop[0]), std::abs(p[1] - shade * backdrop[1]),
                         std::abs(p[2] - shade * backdrop[2])}));
      }
    }
    if (d >= threshold + soft) continue;
    // 0 at the threshold and below: white; 1 at the edge's end: the photo.
    const double keep = soft > 0 ? std::clamp((d - threshold) / soft, 0.0, 1.0) : 0.0;
    for (int c = 0; c < 3; ++c)
      p[c] = static_cast<std::uint16_t>(std::nearbyint(kFullScale + (p[c] - kFullScale) * keep));
  }
}

}  // namespace kalvane
