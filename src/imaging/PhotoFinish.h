#pragma once

#include <string>

#include "base/Result.h"
#include "imaging/PhotoImage.h"

namespace kalvane {

// Levelling and framing, in this order: a fine turn about the centre onto
// white, quarter turns, then margins cut from each side of the turned photo.
struct TGeometry {
  double LevelDegrees = 0;  // positive: counter-clockwise
  int QuarterTurns = 0;     // counter-clockwise, 0 to 3
  double MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;  // fractions

  // Fraction of the longest side that the margins keep at the least.
  double KeptFraction() const;
  bool Valid() const;
};

enum class TPhotoFormat { Jpeg, Png, Webp };

struct TOutputSettings {
  TPhotoFormat Format = TPhotoFormat::Jpeg;
  int Quality = 90;     // JPEG and WebP, 1 to 100
  int LongestSide = 0;  // 0: as the photo comes
  bool KeepMetadata = false;
};

// ".jpg", ".png" or ".webp".
const char* PhotoExtension(TPhotoFormat format);

// The photo levelled, turned, cut and scaled so its longest side is
// `longestSide` (0: not scaled).
TResult ShapePhoto(const TRgbImage& in, const TGeometry& geometry, int longestSide, TRgbImage& out);

// Shapes and writes the photo. The file appears whole or not at all: it is
// written beside the target and renamed over it.
TResult SavePhoto(const TRgbImage& image, const TPhotoMeta& meta, const TGeometry& geometry,
                  const TOutputSettings& output, const std::string& path);

}  // namespace kalvane
