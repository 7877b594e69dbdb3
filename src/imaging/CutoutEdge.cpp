#include "imaging/CutoutEdge.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/CutoutPixels.h"

namespace kalvane {

namespace {

// The product's and the backdrop's colours near a place are averaged this
// far (pixels of the copy).
constexpr double kColourReach = 2.0;
// The outline on the copy is smoothed this much before it is drawn at full size.
constexpr double kOutlineBlur = 0.7;
// The edge the outline is drawn with at full size, in photo pixels.
constexpr double kEdgeWidth = 1.2;
// Colours at least this far apart (of full scale) tell the alpha; below
// the next, the drawn outline does.
constexpr double kLeastContrast = 0.05, kFullContrast = 0.15;
// Under this alpha the colour is the product's nearby rather than what
// the pixel's little share of it says.
constexpr double kThinAlpha = 0.3;

// The average of `image` over `weight` near each place; the image itself
// where the weight is nowhere near.
cv::Mat3f LocalMean(const cv::Mat3f& image, const cv::Mat1f& weight, double sigma) {
  cv::Mat3f weighted;
  cv::Mat3f weight3;
  cv::merge(std::vector<cv::Mat1f>{weight, weight, weight}, weight3);
  cv::multiply(image, weight3, weighted);
  cv::Mat3f sum;
  cv::Mat1f count;
  cv::GaussianBlur(weighted, sum, cv::Size(0, 0), sigma);
  cv::GaussianBlur(weight, count, cv::Size(0, 0), sigma);
  cv::Mat3f out(image.size());
  for (int y = 0; y < image.rows; ++y)
    for (int x = 0; x < image.cols; ++x)
      out(y, x) = count(y, x) > 1e-3f ? sum(y, x) / count(y, x) : image(y, x);
  return out;
}

// Where each pixel of the photo falls between the copy's pixel centres.
struct TSpan {
  int A = 0, B = 0;
  float F = 0;
};

std::vector<TSpan> Spans(int full, int small) {
  std::vector<TSpan> v(static_cast<std::size_t>(full));
  for (int i = 0; i < full; ++i) {
    const double at = std::clamp((i + 0.5) * small / full - 0.5, 0.0, small - 1.0);
    const int a = static_cast<int>(at);
    v[static_cast<std::size_t>(i)] = {a, std::min(a + 1, small - 1), static_cast<float>(at - a)};
  }
  return v;
}

template <typename T>
T Mix(const T& v00, const T& v01, const T& v10, const T& v11, float fx, float fy) {
  return (v00 * (1 - fx) + v01 * fx) * (1 - fy) + (v10 * (1 - fx) + v11 * fx) * fy;
}

std::uint16_t Level(double v) {
  return static_cast<std::uint16_t>(std::clamp(std::nearbyint(v * kFullScale), 0.0, kFullScale));
}

}  // namespace

void CutOut(TRgbImage& photo, const TRgbImage& work, const TCutoutMask& mask) {
  const int fw = photo.Width, fh = photo.Height;
  photo.Alpha.assign(static_cast<std::size_t>(fw) * fh, 0);
  if (mask.Empty() || work.Width != mask.Width || work.Height != mask.Height) {
    std::fill(photo.Pixels.begin(), photo.Pixels.end(), std::uint16_t{0});
    return;
  }
  const int w = mask.Width, h = mask.Height;
  const cv::Mat3f image = ToFloat(work);
  cv::Mat1f product(h, w);
  for (std::size_t i = 0; i < mask.Labels.size(); ++i)
    reinterpret_cast<float*>(product.data)[i] =
        (mask.Labels[i] & TCutoutMask::kProduct) ? 1.0f : 0.0f;
  const cv::Mat1f backdrop = 1.0f - product;
  const cv::Mat3f front = LocalMean(image, product, kColourReach);
  const cv::Mat3f back = LocalMean(image, backdrop, kColourReach);
  cv::Mat1f outline;
  cv::GaussianBlur(product, outline, cv::Size(0, 0), kOutlineBlur);
  // The smoothed outline spans a pixel of the copy; at full size it is
  // drawn over kEdgeWidth pixels.
  const double sharpen = std::max(1.0, double(fw) / w / kEdgeWidth);

  const std::vector<TSpan> xs = Spans(fw, w), ys = Spans(fh, h);
  for (int y = 0; y < fh; ++y) {
    const TSpan& sy = ys[static_cast<std::size_t>(y)];
    std::uint16_t* p = photo.Row(y);
    std::uint16_t* alpha = photo.Alpha.data() + static_cast<std::size_t>(y) * fw;
    const float* o0 = outline[sy.A];
    const float* o1 = outline[sy.B];
    for (int x = 0; x < fw; ++x, p += 3) {
      const TSpan& sx = xs[static_cast<std::size_t>(x)];
      const float m = Mix(o0[sx.A], o0[sx.B], o1[sx.A], o1[sx.B], sx.F, sy.F);
      if (m >= 0.999f) {
        alpha[x] = 65535;
        continue;
      }
      if (m <= 0.001f) {
        p[0] = p[1] = p[2] = 0;
        continue;
      }
      const double drawn = std::clamp(0.5 + (m - 0.5) * sharpen, 0.0, 1.0);
      const cv::Vec3f f = Mix(front(sy.A, sx.A), front(sy.A, sx.B), front(sy.B, sx.A),
                              front(sy.B, sx.B), sx.F, sy.F);
      const cv::Vec3f b =
          Mix(back(sy.A, sx.A), back(sy.A, sx.B), back(sy.B, sx.A), back(sy.B, sx.B), sx.F, sy.F);
      const cv::Vec3f c(static_cast<float>(p[0] / kFullScale),
                        static_cast<float>(p[1] / kFullScale),
                        static_cast<float>(p[2] / kFullScale));
      const cv::Vec3f between = f - b;
      const double spread = between.dot(between);
      const double contrast = std::sqrt(spread);
      double a = drawn;
      if (contrast > kLeastContrast) {
        const double told = std::clamp((c - b).dot(between) / spread, 0.0, 1.0);
        const double trust =
            std::clamp((contrast - kLeastContrast) / (kFullContrast - kLeastContrast), 0.0, 1.0);
        a = trust * told + (1 - trust) * drawn;
      }
      if (a < 1.0 / 255) {
        p[0] = p[1] = p[2] = 0;
        continue;
      }
      // The pixel's colour less the backdrop's share: the product's own.
      for (int k = 0; k < 3; ++k) {
        double own = std::clamp((c[k] - (1 - a) * b[k]) / a, 0.0, 1.0);
        if (a < kThinAlpha) own = f[k] + (own - f[k]) * a / kThinAlpha;
        p[k] = Level(a * own);
      }
      alpha[x] = Level(a);
    }
  }
}

TContactShadow PlanContactShadow(const std::vector<const TCutoutMask*>& masks) {
  std::vector<double> feet, centres, widths;
  for (const TCutoutMask* mask : masks) {
    if (!mask || mask->Empty()) continue;
    const int w = mask->Width, h = mask->Height;
    // The lowest row the product fills a little of, then its foot: the
    // rows just above it.
    const int least = std::max(2, w / 200);
    int bottom = -1;
    for (int y = h - 1; y >= 0 && bottom < 0; --y) {
      int n = 0;
      for (int x = 0; x < w; ++x)
        n += mask->Product(x, y);
      if (n >= least) bottom = y;
    }
    if (bottom < 0) continue;
    int left = w, right = -1;
    for (int y = std::max(0, bottom - h / 30); y <= bottom; ++y) {
      for (int x = 0; x < w; ++x) {
        if (!mask->Product(x, y)) continue;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    feet.push_back((bottom + 1.0) / h);
    centres.push_back((left + right + 1.0) / 2 / w);
    widths.push_back((right - left + 1.0) / w);
  }
  TContactShadow shadow;
  if (feet.empty()) return shadow;
  const auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  const double aspect = double(masks.front()->Width) / masks.front()->Height;
  shadow.RadiusX = 0.6 * *std::max_element(widths.begin(), widths.end());
  // Seen from a little above: flat.
  shadow.RadiusY = 0.2 * shadow.RadiusX * aspect;
  shadow.X = median(centres);
  shadow.Y = median(feet);
  return shadow;
}

void AddContactShadow(TRgbImage& photo, const TContactShadow& shadow) {
  if (shadow.Empty() || photo.Alpha.size() != static_cast<std::size_t>(photo.Width) * photo.Height)
    return;
  const double cx = shadow.X * photo.Width, cy = shadow.Y * photo.Height;
  const double rx = shadow.RadiusX * photo.Width, ry = shadow.RadiusY * photo.Height;
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - rx)));
  const int x1 = std::min(photo.Width - 1, static_cast<int>(std::ceil(cx + rx)));
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - ry)));
  const int y1 = std::min(photo.Height - 1, static_cast<int>(std::ceil(cy + ry)));
  for (int y = y0; y <= y1; ++y) {
    std::uint16_t* alpha = photo.Alpha.data() + static_cast<std::size_t>(y) * photo.Width;
    const double dy = (y + 0.5 - cy) / ry;
    for (int x = x0; x <= x1; ++x) {
      const double dx = (x + 0.5 - cx) / rx, r2 = dx * dx + dy * dy;
      if (r2 >= 1) continue;
      // Dense in the middle, fading smoothly to nothing at the rim.
      const double s = shadow.Opacity * std::exp(-2.5 * r2) * (1 - r2) * (1 - r2);
      const double a = alpha[x] / kFullScale;
      alpha[x] = Level(a + (1 - a) * s);
    }
  }
}

}  // namespace kalvane
