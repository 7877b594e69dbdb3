#pragma once

#include <optional>
#include <string>

namespace kalvane {

// What a video file is, as a marketplace's rules ask.
struct TVideoFacts {
  std::string Container;    // the demuxer's names, e.g. "mov,mp4,m4a,3gp,3g2,mj2"
  std::string Codec;        // the first video stream's: "h264", "vp9", ...
  std::string PixelFormat;  // "yuv420p", ...
  double Seconds = 0;
  int Width = 0, Height = 0;
};

// Nothing, with the reason, when the file is no video that can be read.
std::optional<TVideoFacts> ProbeVideo(const std::string& path, std::string* error);

}  // namespace kalvane
