#include "imaging/PhaseCorrelation.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <vector>

namespace kalvane {

namespace {

// FFTW's planner is not thread-safe; executing a plan is.
std::mutex PlannerLock;

struct TFloats {
  explicit TFloats(std::size_t n) : P(fftwf_alloc_real(n)) {}
  ~TFloats() { fftwf_free(P); }
  TFloats(const TFloats&) = delete;
  TFloats& operator=(const TFloats&) = delete;
  float* P;
};

struct TComplex {
  explicit TComplex(std::size_t n) : P(fftwf_alloc_complex(n)) {}
  ~TComplex() { fftwf_free(P); }
  TComplex(const TComplex&) = delete;
  TComplex& operator=(const TComplex&) = delete;
  fftwf_complex* P;
};

std::size_t SpectrumSize(int w, int h) {
  return static_cast<std::size_t>(h) * (static_cast<std::size_t>(w) / 2 + 1);
}

// The transform plans of one size, made once for the whole program: many
// correlators of a size (the tiles of a picture) share them.
struct TSharedPlans {
  fftwf_plan Forward = nullptr;
  fftwf_plan Inverse = nullptr;
};

class TPlanCache {
 public:
  ~TPlanCache() {
    for (auto& [size, plans] : Plans) {
      fftwf_destroy_plan(plans.Forward);
      fftwf_destroy_plan(plans.Inverse);
    }
  }
  TSharedPlans Get(int w, int h) {
    std::lock_guard<std::mutex> lock(PlannerLock);
    TSharedPlans& plans = Plans[{w, h}];
    if (!plans.Forward) {
      // Estimated plans cost microseconds to make; measured ones a second.
      // They are used with other arrays of the same alignment later.
      TFloats real(static_cast<std::size_t>(w) * h);
      TComplex spectrum(SpectrumSize(w, h));
      plans.Forward = fftwf_plan_dft_r2c_2d(h, w, real.P, spectrum.P, FFTW_ESTIMATE);
      plans.Inverse = fftwf_plan_dft_c2r_2d(h, w, spectrum.P, real.P, FFTW_ESTIMATE);
    }
    return plans;
  }

 private:
  std::map<std::pair<int, int>, TSharedPlans> Plans;
};

TSharedPlans PlansFor(int w, int h) {
  static TPlanCache cache;
  return cache.Get(w, h);
}

}  // namespace

struct TPhaseCorrelator::TPlans {
  TPlans(int w, int h) : Shared(PlansFor(w, h)), Reference(SpectrumSize(w, h)) {}
  TSharedPlans Shared;
  TComplex Reference;
};

void TPhaseCorrelator::Start(int pictureWidth, int pictureHeight, TIKRect rect) {
  Rect = {std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, pictureWidth),
          std::min(rect.bottom, pictureHeight)};
  Width = Rect.right - Rect.left;
  Height = Rect.bottom - Rect.top;
  if (Usable()) Plans = std::make_unique<TPlans>(Width, Height);
}

TPhaseCorrelator::TPhaseCorrelator(const TBitmap24& reference, TIKRect rect) {
  Start(reference.Width(), reference.Height(), rect);
  if (!Usable()) return;
  TFloats real(static_cast<std::size_t>(Width) * Height);
  Prepare(reference, real.P);
  fftwf_execute_dft_r2c(Plans->Shared.Forward, real.P, Plans->Reference.P);
}

TPhaseCorrelator::TPhaseCorrelator(const TIKGreyView& reference, TIKRect rect) {
  Start(reference.Width, reference.Height, rect);
  if (!Usable()) return;
  TFloats real(static_cast<std::size_t>(Width) * Height);
  Prepare(reference, real.P);
  fftwf_execute_dft_r2c(Plans->Shared.Forward, real.P, Plans->Reference.P);
}

TPhaseCorrelator::~TPhaseCorrelator() = default;

void TPhaseCorrelator::Prepare(const TBitmap24& bitmap, float* out) const {
  for (int y = 0; y < Height; ++y) {
    float* row = out + static_cast<std::size_t>(y) * Width;
    const int sy = Rect.top + y;
    for (int x = 0; x < Width; ++x) {
      const int sx = Rect.left + x;
      float v = 0;
      if (sy < bitmap.Height() && sx < bitmap.Width()) {
        const std::uint8_t* p = bitmap.Row(sy) + static_cast<std::size_t>(sx) * 3;
        v = 0.114f * p[0] + 0.587f * p[1] + 0.299f * p[2];
      }
      row[x] = v;
    }
  }
  Window(out);
}

void TPhaseCorrelator::Prepare(const TIKGreyView& grey, float* out) const {
  for (int y = 0; y < Height; ++y) {
    float* row = out + static_cast<std::size_t>(y) * Width;
    const int sy = Rect.top + y;
    const int inside = sy < grey.Height ? std::clamp(grey.Width - Rect.left, 0, Width) : 0;
    const std::uint8_t* in = inside > 0 ? grey.Data + sy * grey.Stride + Rect.left : nullptr;
    for (int x = 0; x < inside; ++x)
      row[x] = in[x];
    std::fill(row + inside, row + Width, 0.0f);
  }
  Window(out);
}

void TPhaseCorrelator::Window(float* out) const {
  const int w = Width, h = Height;
  double sum = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i)
    sum += out[i];
  const auto mean = static_cast<float>(sum / (static_cast<double>(w) * h));
  // A Tukey window: flat over the middle, so the backdrop all round counts
  // as much as the object in the centre, and falling to 0 at the edges.
  auto taper = [](int i, int n) {
    const double edge = 0.1 * (n - 1);
    const double d = std::min(i, n - 1 - i);
    return d >= edge ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * d / edge);
  };
  std::vector<float> wx(static_cast<std::size_t>(w));
  for (int x = 0; x < w; ++x)
    wx[static_cast<std::size_t>(x)] = static_cast<float>(taper(x, w));
  for (int y = 0; y < h; ++y) {
    const auto wy = static_cast<float>(taper(y, h));
    float* row = out + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x)
      row[x] = (row[x] - mean) * wx[static_cast<std::size_t>(x)] * wy;
  }
}

void TPhaseCorrelator::Correlate(float* surface, const float* weightX, const float* weightY) const {
  const int w = Width, h = Height;
  const std::size_t n = SpectrumSize(w, h);
  const std::size_t half = static_cast<std::size_t>(w) / 2 + 1;
  TComplex spectrum(n);
  fftwf_execute_dft_r2c(Plans->Shared.Forward, surface, spectrum.P);
  // The normalised cross-power spectrum: only the phase, which holds the
  // shift, is kept. (Written out: std::abs and complex division take
  // more time here than the transforms.)
  for (std::size_t y = 0; y < static_cast<std::size_t>(h); ++y) {
    const float wy = weightY ? weightY[y] : 1.0f;
    fftwf_complex* q = spectrum.P + y * half;
    const fftwf_complex* r = Plans->Reference.P + y * half;
    for (std::size_t x = 0; x < half; ++x) {
      const float re = r[x][0] * q[x][0] + r[x][1] * q[x][1];
      const float im = r[x][1] * q[x][0] - r[x][0] * q[x][1];
      const float length2 = re * re + im * im;
      float k = length2 > 1e-24f ? 1.0f / std::sqrt(length2) : 0.0f;
      if (weightX) k *= weightX[x] * wy;
      q[x][0] = re * k;
      q[x][1] = im * k;
    }
  }
  fftwf_execute_dft_c2r(Plans->Shared.Inverse, spectrum.P, surface);
}

namespace {

// The surface's highest sample and how far it stands out.
struct TPeak {
  int x = 0, y = 0;
  double sharpness = 0;
};

TPeak FindPeak(const float* surface, int w, int h) {
  const std::size_t count = static_cast<std::size_t>(w) * h;
  std::size_t best = 0;
  double sum = 0, squares = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double v = surface[i];
    sum += v;
    squares += v * v;
    if (surface[i] > surface[best]) best = i;
  }
  const double mean = sum / static_cast<double>(count);
  const double spread =
      std::sqrt(std::max(squares / static_cast<double>(count) - mean * mean, 0.0));
  TPeak peak;
  peak.x = static_cast<int>(best % static_cast<std::size_t>(w));
  peak.y = static_cast<int>(best / static_cast<std::size_t>(w));
  peak.sharpness = spread > 0 ? (surface[best] - mean) / spread : 0;
  return peak;
}

// Where between its neighbours a peak of Gaussian shape has its top, from
// three samples (a parabola through their logarithms); a parabola through
// the samples where one is not above 0.
double PeakFraction(double before, double at, double after) {
  if (before > 0 && at > 0 && after > 0) {
    before = std::log(before);
    after = std::log(after);
    at = std::log(at);
  }
  const double curve = before - 2 * at + after;
  if (!(curve < 0)) return 0;
  return std::clamp(0.5 * (before - after) / curve, -0.5, 0.5);
}

}  // namespace

TIKShift TPhaseCorrelator::Measure(const TIKGreyView& image) const {
  if (!Usable()) return {};
  TFloats surface(static_cast<std::size_t>(Width) * Height);
  Prepare(image, surface.P);
  return WholeFromPrepared(surface.P);
}

TIKShift TPhaseCorrelator::WholeFromPrepared(float* surface) const {
  const int w = Width, h = Height;
  Correlate(surface, nullptr, nullptr);
  const TPeak peak = FindPeak(surface, w, h);
  TIKShift shift;
  shift.dx = peak.x > w / 2 ? peak.x - w : peak.x;
  shift.dy = peak.y > h / 2 ? peak.y - h : peak.y;
  shift.sharpness = peak.sharpness;
  return shift;
}

TIKShiftF TPhaseCorrelator::MeasureFine(const TBitmap24& image) const {
  if (!Usable()) return {};
  TFloats surface(static_cast<std::size_t>(Width) * Height);
  Prepare(image, surface.P);
  return FineFromPrepared(surface.P);
}

void TPhaseCorrelator::SmoothSurface(float* surface) const {
  const int w = Width, h = Height;
  // A Gaussian of sigma 1 pixel in space is this in frequency: the peak, a
  // sharp spike otherwise, gets a shape whose centre three samples tell.
  constexpr double kSigma = 1.0;
  const double k = 2 * std::numbers::pi * std::numbers::pi * kSigma * kSigma;
  std::vector<float> gx(static_cast<std::size_t>(w) / 2 + 1), gy(static_cast<std::size_t>(h));
  for (std::size_t x = 0; x < gx.size(); ++x) {
    const double u = static_cast<double>(x) / w;
    gx[x] = static_cast<float>(std::exp(-k * u * u));
  }
  for (int y = 0; y < h; ++y) {
    const double v = static_cast<double>(y > h / 2 ? y - h : y) / h;
    gy[static_cast<std::size_t>(y)] = static_cast<float>(std::exp(-k * v * v));
  }
  Correlate(surface, gx.data(), gy.data());
}

namespace {

// The surface's sample at (x, y), around its edges.
double At(const float* surface, int w, int h, int x, int y) {
  x = ((x % w) + w) % w;
  y = ((y % h) + h) % h;
  return surface[static_cast<std::size_t>(y) * w + x];
}

int Signed(int at, int size) {
  return at > size / 2 ? at - size : at;
}

}  // namespace

TIKShiftF TPhaseCorrelator::FineFromPrepared(float* surface) const {
  const int w = Width, h = Height;
  SmoothSurface(surface);
  const TPeak peak = FindPeak(surface, w, h);
  auto at = [&](int x, int y) { return At(surface, w, h, x, y); };
  const double c = at(peak.x, peak.y);
  TIKShiftF shift;
  shift.dx = Signed(peak.x, w) + PeakFraction(at(peak.x - 1, peak.y), c, at(peak.x + 1, peak.y));
  shift.dy = Signed(peak.y, h) + PeakFraction(at(peak.x, peak.y - 1), c, at(peak.x, peak.y + 1));
  shift.sharpness = peak.sharpness;
  return shift;
}

TIKShiftInfo TPhaseCorrelator::MeasureShape(const TIKGreyView& image) const {
  TIKShiftInfo info;
  if (!Usable()) return info;
  const int w = Width, h = Height;
  TFloats surface(static_cast<std::size_t>(w) * h);
  Prepare(image, surface.P);
  SmoothSurface(surface.P);
  const TPeak peak = FindPeak(surface.P, w, h);
  info.Shift.sharpness = peak.sharpness;
  // A quadratic through the logarithms of the 3 x 3 samples about the peak
  // (a Gaussian's logarithm is one); samples not above 0 give no shape.
  const double top = At(surface.P, w, h, peak.x, peak.y);
  double f[3][3];
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) {
      const double v = At(surface.P, w, h, peak.x + i - 1, peak.y + j - 1);
      f[j][i] = std::log(std::max(v, top * 1e-3));
    }
  }
  const double gx = (f[1][2] - f[1][0]) / 2, gy = (f[2][1] - f[0][1]) / 2;
  const double hxx = f[1][2] - 2 * f[1][1] + f[1][0];
  const double hyy = f[2][1] - 2 * f[1][1] + f[0][1];
  const double hxy = (f[2][2] - f[2][0] - f[0][2] + f[0][0]) / 4;
  info.CurveXX = std::max(-hxx, 0.0);
  info.CurveYY = std::max(-hyy, 0.0);
  info.CurveXY = -hxy;
  // The quadratic's top, where its slope is 0; along a ridge (one
  // curvature near 0) only across it, the other way being unknown.
  const double mean = (hxx + hyy) / 2, spread = std::hypot((hxx - hyy) / 2, hxy);
  const double strong = mean - spread, weak = mean + spread;
  double fx = 0, fy = 0;
  if (strong < -1e-6) {
    if (weak < -0.05 * std::abs(strong)) {
      const double det = hxx * hyy - hxy * hxy;
      fx = -(hyy * gx - hxy * gy) / det;
      fy = -(hxx * gy - hxy * gx) / det;
    } else {
      // The strong direction's unit vector (an eigenvector of the curvature).
      double vx = hxy, vy = strong - hxx;
      if (std::abs(vx) + std::abs(vy) < 1e-12) {
        vx = hxx <= hyy ? 1 : 0;
        vy = 1 - vx;
      }
      const double length = std::hypot(vx, vy);
      vx /= length;
      vy /= length;
      const double step = -(gx * vx + gy * vy) / strong;
      fx = step * vx;
      fy = step * vy;
    }
  }
  if (!(std::abs(fx) <= 1 && std::abs(fy) <= 1)) fx = fy = 0;
  info.Shift.dx = Signed(peak.x, w) + fx;
  info.Shift.dy = Signed(peak.y, h) + fy;
  return info;
}

}  // namespace kalvane
