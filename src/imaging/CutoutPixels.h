#pragma once

// For the cut-out's own files: its 16-bit photos as OpenCV sees them.
#include <opencv2/core.hpp>

#include "imaging/PhotoImage.h"

namespace kalvane {

// The photo's channels as floats of full scale 1.
inline cv::Mat3f ToFloat(const TRgbImage& image) {
  const cv::Mat wrapped(image.Height, image.Width, CV_16UC3,
                        const_cast<std::uint16_t*>(image.Pixels.data()));
  cv::Mat3f out;
  wrapped.convertTo(out, CV_32FC3, 1.0 / kFullScale);
  return out;
}

}  // namespace kalvane
