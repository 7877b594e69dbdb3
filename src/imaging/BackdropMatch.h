#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/PhotoImage.h"

namespace kalvane {

// How many pixels of a region have each level, per channel.
class TLevelCounts {
 public:
  static constexpr int kBins = 4096;
  TLevelCounts();

  void Add(const std::uint16_t* rgb, int pixels);
  // Level (0 to 65535) below which fraction `p` of the region lies.
  double Quantile(int channel, double p) const;
  // Fraction of the region at the top of the scale: clipped highlights.
  double Clipped(int channel) const;
  std::uint64_t Count() const { return Total; }

 private:
  std::array<std::vector<std::uint32_t>, 3> Histogram;
  std::uint64_t Total = 0;
};

// The backdrop of a photo as its border shows it, and the whole photo for
// when the border is burnt out. The turning object rarely reaches the
// border, so quantiles of it describe the backdrop and the light on it.
class TBackdropStats {
 public:
  // The strips along the four edges, `border` of the width and height deep.
  static TBackdropStats Measure(const TRgbImage& image, double border = 0.06);

  const TLevelCounts& Border() const { return BorderLevels; }
  const TLevelCounts& Whole() const { return WholeLevels; }
  // The backdrop's colour: the median of each channel of the border.
  std::array<double, 3> Colour() const;

 private:
  TLevelCounts BorderLevels, WholeLevels;
};

// Per-channel factors that bring a photo's light and colour to the
// reference's: exposure and white balance in one.
struct TGains {
  std::array<double, 3> Gain{1, 1, 1};
  bool Measured = false;  // false: too much of a border was clipped to tell
};

// Gains from the same quantile of both borders. Quantiles below the median
// are used when the highlights are clipped, since a gain keeps the order
// of levels, and a quantile under the clipped part is the same picture.
// A border burnt out nearly everywhere leaves too little of the backdrop
// to go by; then the whole photos are compared the same way.
TGains MatchGains(const TBackdropStats& reference, const TBackdropStats& photo);

// Multiplies each channel by its gain. A darkening gain keeps clipped
// highlights at the top: above a knee the levels run on to full scale, so
// a burnt-out backdrop stays white instead of turning grey.
void ApplyGains(TRgbImage& image, const TGains& gains);

}  // namespace kalvane
