#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvane {

// What a marketplace's rules look at in one frame of a set.
struct TFrameFacts {
  std::string Format;  // jpeg, png, webp, gif, tiff or another word for what it is
  std::uint64_t Bytes = 0;
  int Width = 0, Height = 0;
  // The darkest channel value in the ring along the border (RingWidth
  // pixels wide, the frame laid on white), and the first pixel that has it.
  int RingWidth = 0;
  int BorderLeast = 255;
  int BorderX = 0, BorderY = 0;
  // The box of what is not white (the product); empty when all is white.
  bool HasProduct = false;
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// The ring a border rule looks at: 1 % of the frame's shorter side, at
// least a pixel.
int BorderRingWidth(int width, int height);

// The facts of an encoded picture; nothing, with the reason, when it
// cannot be decoded.
std::optional<TFrameFacts> MeasureFrame(const std::vector<std::uint8_t>& bytes, std::string* error);

}  // namespace kalvane
