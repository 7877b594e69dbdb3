#pragma once

#include <array>
#include <string>
#include <vector>

namespace kalvane::test {

using TRgb = std::array<int, 3>;

// What FFmpeg's own demuxers and decoders find in a video file.
struct TReadVideo {
  std::string Error;
  std::string Container, Codec, PixelFormat;
  int Width = 0, Height = 0;
  int Frames = 0;  // decoded
  double Seconds = 0;
  double Fps = 0;
  std::vector<TRgb> Centres;  // each decoded picture's middle pixel, as RGB
};

TReadVideo ReadVideo(const std::string& path);

}  // namespace kalvane::test
