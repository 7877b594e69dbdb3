#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvane {

// A photo being prepared: interleaved R, G, B in sRGB, 16 bits a channel
// whatever the file held, so 8-bit and 16-bit sources go the same way.
struct TRgbImage {
  int Width = 0, Height = 0;
  std::vector<std::uint16_t> Pixels;
  // Empty: opaque. Else one level a pixel, and Pixels are premultiplied by
  // it (what a cut-out makes), so scaling never bleeds the backdrop in.
  std::vector<std::uint16_t> Alpha;

  std::uint16_t* Row(int y) { return Pixels.data() + static_cast<std::size_t>(y) * Width * 3; }
  const std::uint16_t* Row(int y) const {
    return Pixels.data() + static_cast<std::size_t>(y) * Width * 3;
  }
};

inline constexpr double kFullScale = 65535.0;

// What the file said beside its pixels, kept for an output that keeps it.
struct TPhotoMeta {
  bool SixteenBit = false;  // the file held more than 8 bits a channel
  std::string Exif, Xmp, Iptc;
};

}  // namespace kalvane
