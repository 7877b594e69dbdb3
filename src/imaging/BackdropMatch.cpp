#include "imaging/BackdropMatch.h"

#include <algorithm>
#include <cmath>

namespace kalvane {

namespace {

constexpr int kShift = 4;  // 65536 levels into 4096 bins
// 254 of 255: anything at or above it is taken as clipped.
constexpr int kClipBin = (254 * 257) >> kShift;
// The lowest quantile of a border that is still backdrop; under it the
// border is mostly the object or the table, and the whole photo says more.
constexpr double kLeastBorder = 0.25;
// Lower than this quantile nothing is matched.
constexpr double kLeastUsable = 0.05;
// Of full scale, where a darkening gain eases off. Close to the top: the
// levels under it, the object and an unclipped backdrop, are scaled exactly.
constexpr double kKnee = 250.0 / 255.0;

}  // namespace

TLevelCounts::TLevelCounts() {
  for (auto& h : Histogram)
    h.assign(kBins, 0);
}

void TLevelCounts::Add(const std::uint16_t* p, int pixels) {
  for (int i = 0; i < pixels; ++i, p += 3) {
    ++Histogram[0][p[0] >> kShift];
    ++Histogram[1][p[1] >> kShift];
    ++Histogram[2][p[2] >> kShift];
  }
  Total += pixels;
}

double TLevelCounts::Quantile(int channel, double p) const {
  if (Total == 0) return 0;
  const double want = std::clamp(p, 0.0, 1.0) * static_cast<double>(Total);
  double below = 0;
  const std::vector<std::uint32_t>& h = Histogram[channel];
  for (int bin = 0; bin < kBins; ++bin) {
    if (h[bin] > 0 && below + h[bin] >= want) {
      // Spread evenly over the bin's levels.
      const double into = (want - below) / h[bin];
      return (bin + into) * (1 << kShift);
    }
    below += h[bin];
  }
  return kFullScale;
}

double TLevelCounts::Clipped(int channel) const {
  if (Total == 0) return 0;
  std::uint64_t clipped = 0;
  for (int bin = kClipBin; bin < kBins; ++bin)
    clipped += Histogram[channel][bin];
  return static_cast<double>(clipped) / static_cast<double>(Total);
}

TBackdropStats TBackdropStats::Measure(const TRgbImage& image, double border) {
  TBackdropStats stats;
  if (image.Width <= 0 || image.Height <= 0) return stats;
  const int bx = std::clamp(static_cast<int>(std::lround(image.Width * border)), 1, image.Width);
  const int by = std::clamp(static_cast<int>(std::lround(image.Height * border)), 1, image.Height);
  for (int y = 0; y < image.Height; ++y) {
    const std::uint16_t* row = image.Row(y);
    stats.WholeLevels.Add(row, image.Width);
    if (y < by || y >= image.Height - by) {
      stats.BorderLevels.Add(row, image.Width);
    } else {
      stats.BorderLevels.Add(row, bx);
      if (image.Width - bx >= bx) stats.BorderLevels.Add(row + 3 * (image.Width - bx), bx);
    }
  }
  return stats;
}

std::array<double, 3> TBackdropStats::Colour() const {
  return {BorderLevels.Quantile(0, 0.5), BorderLevels.Quantile(1, 0.5),
          BorderLevels.Quantile(2, 0.5)};
}

namespace {

// The quantile both regions share below their clipped parts, capped at the median.
double SharedQuantile(const TLevelCounts& a, const TLevelCounts& b, int channel) {
  return std::min(0.5, 0.8 * (1.0 - std::max(a.Clipped(channel), b.Clipped(channel))));
}

}  // namespace

TGains MatchGains(const TBackdropStats& reference, const TBackdropStats& photo) {
  TGains gains;
  if (reference.Border().Count() == 0 || photo.Border().Count() == 0) return gains;
  gains.Measured = true;
  for (int c = 0; c < 3; ++c) {
    const TLevelCounts* want = &reference.Border();
    const TLevelCounts* have = &photo.Border();
    double p = SharedQuantile(*want, *have, c);
    if (p < kLeastBorder) {
      want = &reference.Whole();
      have = &photo.Whole();
      p = SharedQuantile(*want, *have, c);
    }
    const double wanted = want->Quantile(c, p), had = have->Quantile(c, p);
    if (p < kLeastUsable || wanted <= 0 || had <= 0) {
      gains.Measured = false;
      continue;
    }
    gains.Gain[c] = wanted / had;
  }
  return gains;
}

void ApplyGains(TRgbImage& image, const TGains& gains) {
  std::array<std::vector<std::uint16_t>, 3> table;
  for (int c = 0; c < 3; ++c) {
    const double g = gains.Gain[c];
    table[c].resize(65536);
    const double knee = kKnee * kFullScale;
    for (int x = 0; x < 65536; ++x) {
      double y = g * x;
      if (g < 1 && x > knee)
        y = g * knee + (x - knee) * (kFullScale - g * knee) / (kFullScale - knee);
      table[c][x] = static_cast<std::uint16_t>(std::clamp(std::nearbyint(y), 0.0, kFullScale));
    }
  }
  std::uint16_t* p = image.Pixels.data();
  const std::size_t n = image.Pixels.size() / 3;
  for (std::size_t i = 0; i < n; ++i, p += 3) {
    p[0] = table[0][p[0]];
    p[1] = table[1][p[1]];
    p[2] = table[2][p[2]];
  }
}

}  // namespace kalvane
