#pragma once

#include <string>

#include "base/Result.h"
#include "imaging/PhotoImage.h"
#include "imaging/PrepResult.h"

namespace kalvane {

// Levelling and framing, in this order: a fine turn about the centre that
// keeps the photo's size (the corners it uncovers filled from the photo's
// own edge, mirrored, so no seam shows), quarter turns, then margins cut
// from each side of the turned photo.
struct TGeometry {
  double LevelDegrees = 0;  // positive: counter-clockwise
  int QuarterTurns = 0;     // counter-clockwise, 0 to 3
  double MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;  // fractions

  // Fraction of the longest side that the margins keep at the least.
  double KeptFraction() const;
  bool Valid() const;
  // The size of a photo of `width` x `height` once turned and cut.
  void Shaped(int& width, int& height) const;
};

enum class TPhotoFormat { Jpeg, Png, Webp };

struct TOutputSettings {
  TPhotoFormat Format = TPhotoFormat::Jpeg;
  int Quality = 90;     // JPEG and WebP, 1 to 100
  int LongestSide = 0;  // 0: as the photo comes
  bool KeepMetadata = false;
  bool Enlarge = false;  // a photo shorter than LongestSide is scaled up to it
  // A cut-out is written with its alpha (PNG and WebP); else it is laid on
  // white at the size written, so all around the product is exactly white.
  bool KeepAlpha = false;
};

// The size photos are written at; empty: as shaped.
struct TFrameSize {
  int Width = 0, Height = 0;
  bool Empty() const { return Width <= 0 || Height <= 0; }
  bool operator==(const TFrameSize&) const = default;
};

// The frame of a shaped photo of `width` x `height`: its longest side
// `longestSide` (0: as it is), and never longer than the photo's own
// unless `enlarge`. The other side by the aspect, rounded once.
TFrameSize FrameFor(int width, int height, int longestSide, bool enlarge);

// ".jpg", ".png" or ".webp".
const char* PhotoExtension(TPhotoFormat format);

// The photo levelled, turned, cut and scaled to exactly `frame` (empty:
// not scaled); a cut-out comes laid on white.
TResult ShapePhoto(const TRgbImage& in, const TGeometry& geometry, TFrameSize frame,
                   TRgbImage& out);

// Shapes and writes the photo at `frame`, or (empty) at the frame the
// output settings give the photo alone. The file appears whole or not at
// all: it is written beside the target and renamed over it; a link in its
// place is replaced, never written through.
TPrepResult SavePhoto(const TRgbImage& image, const TPhotoMeta& meta, const TGeometry& geometry,
                      const TOutputSettings& output, const std::string& path,
                      TFrameSize frame = {});

}  // namespace kalvane
