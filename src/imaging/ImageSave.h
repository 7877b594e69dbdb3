#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "imaging/ImageKit.h"

namespace kalvane {

enum class TImageFormat { Jpeg, Png, Webp, Gif };

// What a picture is put on before it is saved: a canvas at least this
// large (0: the picture's own size) with the picture in its middle, and
// the colour around it. Transparent gives the file an alpha channel.
struct TCanvas {
  int Width = 0, Height = 0;
  std::uint8_t R = 255, G = 255, B = 255;
  bool Transparent = false;
};

// Saves the picture on its canvas as a still file. `quality` (1 to 100)
// counts for JPEG and WebP; JPEG cannot be transparent.
TResult IKSaveStill(const std::string& path, const TIKImage& image, TImageFormat format,
                    int quality, const TCanvas& canvas = {});

// A frame kept on disk until an encoder takes it: lossless, and quick to
// write and to read back (PNG, hardly compressed).
TResult IKSaveSpooled(const std::string& path, const TIKImage& image);

// The spooled frames (all of one size, in order) as an animated WebP or
// GIF written to `path`: each shown for `delayMs`, the whole played
// `loops` times (0: for ever). The frames are read back one at a time as
// the encoder reaches them, so memory holds a frame or two, not the
// animation. `progress`, when given, is told the percentage encoded as it
// grows, on the calling thread; false from it stops the encoding
// (Cancelled).
TResult IKEncodeAnimation(const std::vector<std::string>& frames, TImageFormat format, int delayMs,
                          int loops, const std::string& path,
                          const std::function<bool(int percent)>& progress = nullptr);

}  // namespace kalvane
