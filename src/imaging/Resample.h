#pragma once

#include <cstdint>
#include <vector>

namespace kalvane {

// One axis of a resampling. Output pixel o covers the input from
// From + o / Scale to From + (o + 1) / Scale (in input pixels, edges at
// whole numbers), so From may fall between input pixels.
struct TResampleAxis {
  double From = 0;
  double Scale = 1;  // output pixels per input pixel
  int Out = 0;
};

// Packed 8-bit RGB (`width` x `height`) resampled to Out x Out pixels. A
// reduction is weighted by a Gaussian of half an output pixel around each
// output pixel's centre, which keeps fine detail from beating into moire
// and a line's place exact to a small fraction of a pixel; an enlargement
// is bilinear. Reads beyond the input repeat its edge: callers give it a
// margin.
std::vector<std::uint8_t> ResampleRgb(const std::uint8_t* rgb, int width, int height,
                                      const TResampleAxis& ax, const TResampleAxis& ay);

// How far (in input pixels) the weights of an axis reach either side of
// an output pixel's centre.
double ResampleReach(double scale);

}  // namespace kalvane
