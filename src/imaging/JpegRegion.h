#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvane {

// The part of a JPEG one frame needs, decoded at a fraction of its size.
struct TJpegRegion {
  // Where the pixels lie in the reduced image; inside it, possibly empty.
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Channels = 3;                  // 3: packed RGB; 1: grey (luma)
  std::vector<std::uint8_t> Pixels;  // Width x Height x Channels
  std::string Error;                 // why it could not be decoded; empty on success
  std::string Warning;               // damage the decoder met in data it still decoded
  bool Unsupported = false;          // a kind of JPEG left to libvips (CMYK, for one)
};

struct TJpegRegionWay {
  // Luma only: the colour planes are read but never turned into pixels.
  bool Grey = false;
  // Read the data to its end marker, so damage anywhere in the file gives
  // the warning; otherwise stop after the last row wanted.
  bool ToEnd = true;
};

// Decodes rows [top, bottom) and columns [left, right) (pixels of the image
// reduced to 1/shrink, shrink 1, 2, 4 or 8; clipped to it) of a JPEG. Only
// that part is turned into pixels. A file cut short (before the end of what
// is read) is an error.
TJpegRegion DecodeJpegRegion(const std::string& path, int shrink, int left, int top, int right,
                             int bottom, TJpegRegionWay way = {});

}  // namespace kalvane
