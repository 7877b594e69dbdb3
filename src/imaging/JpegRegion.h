#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvane {

// The part of a JPEG one frame needs, decoded at a fraction of its size.
struct TJpegRegion {
  // Where the pixels lie in the reduced image; inside it, possibly empty.
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<std::uint8_t> Rgb;  // packed RGB, Width x Height
  std::string Error;              // why it could not be decoded; empty on success
  std::string Warning;            // damage the decoder met in data it still decoded
  bool Unsupported = false;       // a kind of JPEG left to libvips (CMYK, for one)
};

// Decodes rows [top, bottom) and columns [left, right) (pixels of the image
// reduced to 1/shrink, shrink 1, 2, 4 or 8; clipped to it) of a JPEG. Only
// that part is turned into pixels, but the whole entropy-coded data is read
// to its end marker, so damage anywhere in the file gives the warning. A
// file cut short is an error.
TJpegRegion DecodeJpegRegion(const std::string& path, int shrink, int left, int top, int right,
                             int bottom);

}  // namespace kalvane
