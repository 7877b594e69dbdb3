#include "imaging/Resample.h"

#include <algorithm>
#include <cmath>

namespace kalvane {

namespace {

// The input pixels and weights of every output pixel along one axis.
struct TTaps {
  std::vector<int> First;  // per output pixel
  int Count = 0;           // the same number for every output pixel
  std::vector<float> Weights;
};

TTaps MakeTaps(const TResampleAxis& axis) {
  const bool reduce = axis.Scale < 1;
  const double sigma = 0.5 / axis.Scale;  // half an output pixel, in input pixels
  const double reach = ResampleReach(axis.Scale);
  TTaps taps;
  taps.Count = static_cast<int>(std::floor(2 * reach)) + 1;
  taps.First.resize(static_cast<std::size_t>(axis.Out));
  taps.Weights.resize(static_cast<std::size_t>(axis.Out) * taps.Count);
  for (int o = 0; o < axis.Out; ++o) {
    // The output pixel's centre in input pixel indices (centres at whole numbers).
    const double centre = axis.From + (o + 0.5) / axis.Scale - 0.5;
    const int first = static_cast<int>(std::ceil(centre - reach));
    float* w = &taps.Weights[static_cast<std::size_t>(o) * taps.Count];
    double sum = 0;
    for (int k = 0; k < taps.Count; ++k) {
      const double d = first + k - centre;
      const double weight =
          reduce ? std::exp(-d * d / (2 * sigma * sigma)) : std::max(0.0, 1 - std::fabs(d));
      w[k] = static_cast<float>(weight);
      sum += weight;
    }
    for (int k = 0; k < taps.Count; ++k)
      w[k] = static_cast<float>(w[k] / sum);
    taps.First[static_cast<std::size_t>(o)] = first;
  }
  return taps;
}

}  // namespace

double ResampleReach(double scale) {
  // Three sigmas of the Gaussian; one pixel for bilinear.
  return scale < 1 ? 1.5 / scale : 1.0;
}

std::vector<std::uint8_t> ResampleRgb(const std::uint8_t* rgb, int width, int height,
                                      const TResampleAxis& ax, const TResampleAxis& ay) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(ax.Out) * ay.Out * 3);
  if (width <= 0 || height <= 0 || ax.Out <= 0 || ay.Out <= 0) return out;
  const TTaps tx = MakeTaps(ax), ty = MakeTaps(ay);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<float> row(stride);
  // Columns of the input each output pixel reads, clamped into the input.
  std::vector<int> column(static_cast<std::size_t>(ax.Out) * tx.Count);
  for (int o = 0; o < ax.Out; ++o) {
    for (int k = 0; k < tx.Count; ++k) {
      column[static_cast<std::size_t>(o) * tx.Count + k] =
          3 * std::clamp(tx.First[static_cast<std::size_t>(o)] + k, 0, width - 1);
    }
  }
  for (int oy = 0; oy < ay.Out; ++oy) {
    // Vertically first, over whole rows: contiguous, so it vectorises.
    std::fill(row.begin(), row.end(), 0.0f);
    const float* wy = &ty.Weights[static_cast<std::size_t>(oy) * ty.Count];
    for (int k = 0; k < ty.Count; ++k) {
      const int y = std::clamp(ty.First[static_cast<std::size_t>(oy)] + k, 0, height - 1);
      const std::uint8_t* in = rgb + static_cast<std::size_t>(y) * stride;
      const float weight = wy[k];
      for (std::size_t i = 0; i < stride; ++i)
        row[i] += weight * in[i];
    }
    std::uint8_t* dst = &out[static_cast<std::size_t>(oy) * ax.Out * 3];
    for (int ox = 0; ox < ax.Out; ++ox) {
      const float* wx = &tx.Weights[static_cast<std::size_t>(ox) * tx.Count];
      const int* cx = &column[static_cast<std::size_t>(ox) * tx.Count];
      float r = 0, g = 0, b = 0;
      for (int k = 0; k < tx.Count; ++k) {
        const float* p = &row[static_cast<std::size_t>(cx[k])];
        r += wx[k] * p[0];
        g += wx[k] * p[1];
        b += wx[k] * p[2];
      }
      dst[3 * ox] = static_cast<std::uint8_t>(std::clamp(r + 0.5f, 0.0f, 255.0f));
      dst[3 * ox + 1] = static_cast<std::uint8_t>(std::clamp(g + 0.5f, 0.0f, 255.0f));
      dst[3 * ox + 2] = static_cast<std::uint8_t>(std::clamp(b + 0.5f, 0.0f, 255.0f));
    }
  }
  return out;
}

}  // namespace kalvane
