#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/Bitmap24.h"
#include "imaging/ImageKit.h"

namespace kalvane {

// How far a picture lies from the reference: (dx, dy) moves it back onto
// the reference. `sharpness` is the correlation peak's height in standard
// deviations of the correlation surface: tens for a clear match, near 0
// when there is nothing to measure.
struct TIKShift {
  int dx = 0;
  int dy = 0;
  double sharpness = 0;
};

// The same to a fraction of a pixel.
struct TIKShiftF {
  double dx = 0;
  double dy = 0;
  double sharpness = 0;
};

// A shift to a fraction of a pixel with how well each direction is
// known: the peak's curvature (the negative second derivatives of the
// correlation's logarithm; about 1 each way for a point-like peak, near 0
// along the ridge an edge gives, whose shift along itself is unknown).
struct TIKShiftInfo {
  TIKShiftF Shift;
  double CurveXX = 0, CurveYY = 0, CurveXY = 0;
};

// A grey picture: one byte a pixel, rows `Stride` bytes apart.
struct TIKGreyView {
  const std::uint8_t* Data = nullptr;
  int Width = 0, Height = 0;
  std::size_t Stride = 0;
};

// Phase correlation of many pictures against one reference, inside one
// rectangle of each (clipped to the pictures). The reference's spectrum and
// the transform plans (FFTW) are made once; Measure may run on several
// threads at once.
class TPhaseCorrelator {
 public:
  TPhaseCorrelator(const TBitmap24& reference, TIKRect rect);
  TPhaseCorrelator(const TIKGreyView& reference, TIKRect rect);
  ~TPhaseCorrelator();
  TPhaseCorrelator(const TPhaseCorrelator&) = delete;
  TPhaseCorrelator& operator=(const TPhaseCorrelator&) = delete;

  bool Usable() const { return Width >= 16 && Height >= 16; }
  TIKShift Measure(const TIKGreyView& image) const;
  // To a fraction of a pixel: the correlation is smoothed into a Gaussian
  // peak of about a pixel, whose samples either side give its centre.
  TIKShiftF MeasureFine(const TBitmap24& image) const;
  // The same with the peak's shape; the fraction from the peak's 3 x 3
  // samples at once, right also for a ridge that runs aslant.
  TIKShiftInfo MeasureShape(const TIKGreyView& image) const;

 private:
  struct TPlans;
  void Start(int pictureWidth, int pictureHeight, TIKRect rect);
  // Grey, less its mean, under a window that fades out at the edges (they
  // would otherwise match themselves at no shift).
  void Prepare(const TBitmap24& bitmap, float* out) const;
  void Prepare(const TIKGreyView& grey, float* out) const;
  void Window(float* out) const;
  // The correlation surface of a prepared picture (in `surface`) against
  // the reference, its spectrum weighted by weightX[kx] * weightY[ky]
  // (when given) before it is turned back.
  void Correlate(float* surface, const float* weightX, const float* weightY) const;
  TIKShiftF FineFromPrepared(float* surface) const;
  TIKShift WholeFromPrepared(float* surface) const;
  // The smoothed correlation surface of a prepared picture.
  void SmoothSurface(float* surface) const;
  TIKRect Rect;
  int Width = 0, Height = 0;
  std::unique_ptr<TPlans> Plans;
};

}  // namespace kalvane
