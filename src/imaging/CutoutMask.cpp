#include "imaging/CutoutMask.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/CutoutPixels.h"

namespace kalvane {

namespace {

// The strips along the edges where the backdrop is looked for first.
constexpr double kStrip = 0.04;
// A shadow is the backdrop's colour at less light; deeper than this it is
// more likely a dark part of the product.
constexpr double kDeepestShadow = 0.35;
// Nearer the backdrop than this (of full scale, the channel that differs
// most) is backdrop, whatever the grain says.
constexpr double kLeastNear = 0.012;
// What counts as an edge: far above the backdrop's own grain, within these.
constexpr double kLeastEdge = 0.012, kMostEdge = 0.06;
// A hole shows the backdrop as it is: its pixels this near, in the median,
// times the grain.
constexpr double kHoleGrain = 2.5, kLeastHole = 0.006;
// Parts smaller than this fraction of the copy are specks, not products
// or holes.
constexpr double kSpeck = 0.0004;
constexpr int kGrabCutRounds = 3;
// How far (pixels of the copy) the neighbours may move a frame's edge.
constexpr int kNeighbourReach = 2;

cv::Mat1f ChannelMax(const cv::Mat3f& in) {
  std::vector<cv::Mat1f> c;
  cv::split(in, c);
  cv::Mat1f m = cv::max(cv::max(c[0], c[1]), c[2]);
  return m;
}

cv::Mat1b Strips(int w, int h) {
  const int bx = std::max(1, static_cast<int>(std::lround(w * kStrip)));
  const int by = std::max(1, static_cast<int>(std::lround(h * kStrip)));
  cv::Mat1b m(h, w, std::uint8_t{0});
  m(cv::Rect(0, 0, w, by)) = 255;
  m(cv::Rect(0, h - by, w, by)) = 255;
  m(cv::Rect(0, 0, bx, h)) = 255;
  m(cv::Rect(w - bx, 0, bx, h)) = 255;
  return m;
}

// The `p` quantile of the values under `mask`.
double Quantile(const cv::Mat1f& values, const cv::Mat1b& mask, double p) {
  std::vector<float> v;
  v.reserve(static_cast<std::size_t>(cv::countNonZero(mask)));
  for (int y = 0; y < values.rows; ++y) {
    const float* row = values[y];
    const std::uint8_t* in = mask[y];
    for (int x = 0; x < values.cols; ++x)
      if (in[x]) v.push_back(row[x]);
  }
  if (v.empty()) return 0;
  const auto at = v.begin() + static_cast<std::ptrdiff_t>(p * static_cast<double>(v.size() - 1));
  std::nth_element(v.begin(), at, v.end());
  return *at;
}

// The backdrop's level everywhere from the pixels known to be backdrop,
// averaged near each place: far along the rows and little across them, as
// a sweep's light runs.
cv::Mat3f Level(const cv::Mat3f& image, const cv::Mat1b& backdrop, double spreadX, double spreadY) {
  const int w = image.cols, h = image.rows;
  const double f = std::min(1.0, 160.0 / std::max(w, h));
  const cv::Size small(std::max(1, static_cast<int>(std::lround(w * f))),
                       std::max(1, static_cast<int>(std::lround(h * f))));
  cv::Mat1f weight;
  backdrop.convertTo(weight, CV_32F, 1.0 / 255);
  cv::Mat3f weighted;
  cv::Mat3f weight3;
  cv::merge(std::vector<cv::Mat1f>{weight, weight, weight}, weight3);
  cv::multiply(image, weight3, weighted);
  cv::Mat3f sum;
  cv::Mat1f count;
  cv::resize(weighted, sum, small, 0, 0, cv::INTER_AREA);
  cv::resize(weight, count, small, 0, 0, cv::INTER_AREA);
  const double sx = std::max(0.5, spreadX * small.width),
               sy = std::max(0.5, spreadY * small.height);
  cv::GaussianBlur(sum, sum, cv::Size(0, 0), sx, sy, cv::BORDER_REFLECT);
  cv::GaussianBlur(count, count, cv::Size(0, 0), sx, sy, cv::BORDER_REFLECT);
  cv::Mat3f level(small);
  for (int y = 0; y < small.height; ++y) {
    for (int x = 0; x < small.width; ++x) {
      const float n = count(y, x);
      level(y, x) = n > 1e-6f ? sum(y, x) / n : cv::Vec3f(-1, -1, -1);
    }
  }
  // Where no backdrop was near at all (a product filling rows from side to
  // side), the rows above and below it speak.
  const cv::Mat1b missing = count < 1e-6f;
  const int gaps = cv::countNonZero(missing);
  if (gaps > 0 && gaps < static_cast<int>(missing.total())) {
    cv::Mat3f filled;
    cv::GaussianBlur(sum, filled, cv::Size(0, 0), 4 * sx, 4 * sy, cv::BORDER_REFLECT);
    cv::Mat1f n;
    cv::GaussianBlur(count, n, cv::Size(0, 0), 4 * sx, 4 * sy, cv::BORDER_REFLECT);
    for (int y = 0; y < small.height; ++y)
      for (int x = 0; x < small.width; ++x)
        if (missing(y, x)) level(y, x) = filled(y, x) / std::max(n(y, x), 1e-9f);
  }
  cv::Mat3f out;
  cv::resize(level, out, image.size(), 0, 0, cv::INTER_CUBIC);
  return out;
}

// Per pixel: how far from the backdrop (the channel that differs most),
// and how far from the nearest darker shade of it.
struct TDistances {
  cv::Mat1f Near, Shade, FromShade;
};

TDistances Distances(const cv::Mat3f& image, const cv::Mat3f& level) {
  TDistances d;
  cv::Mat3f diff;
  cv::absdiff(image, level, diff);
  d.Near = ChannelMax(diff);
  d.Shade.create(image.size());
  d.FromShade.create(image.size());
  for (int y = 0; y < image.rows; ++y) {
    const cv::Vec3f* p = image[y];
    const cv::Vec3f* l = level[y];
    for (int x = 0; x < image.cols; ++x) {
      const float lm = (l[x][0] + l[x][1] + l[x][2]) / 3;
      const float shade = lm > 1e-4f ? (p[x][0] + p[x][1] + p[x][2]) / 3 / lm : 1.0f;
      float from = 0;
      for (int c = 0; c < 3; ++c)
        from = std::max(from, std::abs(p[x][c] - shade * l[x][c]));
      d.Shade(y, x) = shade;
      d.FromShade(y, x) = from;
    }
  }
  return d;
}

// The pixels of `candidates` connected to the border of the picture.
cv::Mat1b Reached(const cv::Mat1b& candidates) {
  cv::Mat1i labels;
  const int n = cv::connectedComponents(candidates, labels, 4, CV_32S);
  std::vector<std::uint8_t> edge(static_cast<std::size_t>(n), 0);
  const int w = labels.cols, h = labels.rows;
  for (int x = 0; x < w; ++x) {
    edge[static_cast<std::size_t>(labels(0, x))] = 1;
    edge[static_cast<std::size_t>(labels(h - 1, x))] = 1;
  }
  for (int y = 0; y < h; ++y) {
    edge[static_cast<std::size_t>(labels(y, 0))] = 1;
    edge[static_cast<std::size_t>(labels(y, w - 1))] = 1;
  }
  cv::Mat1b out(labels.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      out(y, x) = candidates(y, x) && edge[static_cast<std::size_t>(labels(y, x))] ? 255 : 0;
  return out;
}

// The parts of `mask` at least `least` pixels large, each kept when
// `keep(pixels of the part)` says so.
template <typename TKeep>
cv::Mat1b Parts(const cv::Mat1b& mask, int least, TKeep keep) {
  cv::Mat1i labels, stats;
  cv::Mat centroids;
  const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
  std::vector<std::vector<cv::Point>> points(static_cast<std::size_t>(n));
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x)
      if (const int l = labels(y, x); l > 0 && stats(l, cv::CC_STAT_AREA) >= least)
        points[static_cast<std::size_t>(l)].emplace_back(x, y);
  cv::Mat1b out(mask.size(), std::uint8_t{0});
  for (const std::vector<cv::Point>& part : points) {
    if (part.empty() || !keep(part)) continue;
    for (const cv::Point& p : part)
      out(p) = 255;
  }
  return out;
}

cv::Mat1b Eroded(const cv::Mat1b& in, int radius) {
  cv::Mat1b out;
  cv::erode(in, out,
            cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(2 * radius + 1, 2 * radius + 1)),
            cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  return out;
}

}  // namespace

double TCutoutMask::Coverage() const {
  if (Empty()) return 0;
  const auto n = std::count_if(Labels.begin(), Labels.end(),
                               [](std::uint8_t l) { return (l & kProduct) != 0; });
  return static_cast<double>(n) / static_cast<double>(Labels.size());
}

TRgbImage CutoutWorkCopy(const TRgbImage& photo) {
  const int longest = std::max(photo.Width, photo.Height);
  if (longest <= kCutoutWorkSide) return CutoutWorkCopy(photo, photo.Width, photo.Height);
  const double f = double(kCutoutWorkSide) / longest;
  return CutoutWorkCopy(photo, std::max(1, static_cast<int>(std::lround(photo.Width * f))),
                        std::max(1, static_cast<int>(std::lround(photo.Height * f))));
}

TRgbImage CutoutWorkCopy(const TRgbImage& photo, int width, int height) {
  TRgbImage out;
  out.Width = width;
  out.Height = height;
  if (width == photo.Width && height == photo.Height) {
    out.Pixels = photo.Pixels;
    return out;
  }
  out.Pixels.resize(static_cast<std::size_t>(width) * height * 3);
  const cv::Mat in(photo.Height, photo.Width, CV_16UC3,
                   const_cast<std::uint16_t*>(photo.Pixels.data()));
  cv::Mat to(height, width, CV_16UC3, out.Pixels.data());
  cv::resize(in, to, to.size(), 0, 0, cv::INTER_AREA);
  return out;
}

TCutoutMask FindProduct(const TRgbImage& work, const TRgbImage* plate) {
  TCutoutMask mask;
  const int w = work.Width, h = work.Height;
  if (w < 8 || h < 8) return mask;
  mask.Width = w;
  mask.Height = h;
  mask.Labels.assign(static_cast<std::size_t>(w) * h, 0);
  const cv::Mat3f image = ToFloat(work);

  // Edges: the spread of levels around each pixel after a slight blur, which
  // a speck of grain hardly keeps and an outline does.
  cv::Mat3f smooth, high, low;
  cv::GaussianBlur(image, smooth, cv::Size(0, 0), 0.8);
  const cv::Mat square = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
  cv::dilate(smooth, high, square);
  cv::erode(smooth, low, square);
  const cv::Mat1f edges = ChannelMax(high - low);
  const cv::Mat1b strips = Strips(w, h);
  const double grain = Quantile(edges, strips, 0.9);
  const double edgeLimit = std::clamp(2.0 * grain, kLeastEdge, kMostEdge);
  // Outlines thickened by a pixel, so the backdrop found from the border
  // does not slip into a product through a gap in one.
  cv::Mat1b flat;
  cv::erode(edges < edgeLimit, flat, square);

  // The backdrop: the plate, or modelled from the border and then from all
  // the backdrop found from there.
  cv::Mat3f level;
  if (plate && plate->Width > 0 && plate->Height > 0) {
    cv::Mat3f p = ToFloat(*plate);
    if (p.size() != image.size()) cv::resize(p, p, image.size(), 0, 0, cv::INTER_AREA);
    cv::GaussianBlur(p, level, cv::Size(0, 0), 1.0);
  }
  // The grain: how far the border strips lie from the level around them.
  double noise = 0;
  cv::Mat1b backdrop = strips & flat;
  TDistances d;
  const int passes = level.empty() ? 3 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    if (passes > 1) {
      const double spread = pass == 0 ? 0.3 : 0.12;
      level = Level(image, backdrop, spread, spread / 6);
    }
    d = Distances(image, level);
    noise = Quantile(d.Near, backdrop, 0.5);
    backdrop = Reached((d.Near < std::max(kLeastNear, 4 * noise)) & flat);
  }
  const double near = std::max(kLeastNear, 4 * noise);
  const cv::Mat1b lit = d.Near < near;
  // Shadows are left to the cut: a white product's own shade looks the same.
  const cv::Mat1b shadow = (d.Shade >= kDeepestShadow) & (d.Shade < 1) & (d.FromShade < near);

  // Holes: places the outside does not reach where the backdrop shows
  // exactly (in the median) as the level says.
  const int speck = std::max(4, static_cast<int>(kSpeck * w * h));
  const double holeNear = std::max(kLeastHole, kHoleGrain * noise);
  const cv::Mat1b unreached = ~backdrop & lit & flat;
  const cv::Mat1b holes = Parts(unreached, speck, [&](const std::vector<cv::Point>& part) {
    std::vector<float> v;
    v.reserve(part.size());
    for (const cv::Point& p : part)
      v.push_back(d.Near(p));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2] <= holeNear;
  });
  const cv::Mat1b outside = backdrop | holes;

  // The product: what is left, without specks. Its own colours, or light
  // above the backdrop's, or an outline, make it sure; a dark neutral
  // place may still be a deep shadow.
  const cv::Mat1b inside = Parts(~outside, speck, [](const auto&) { return true; });
  if (cv::countNonZero(inside) == 0) return mask;

  cv::Mat1b trimap(h, w, std::uint8_t{cv::GC_PR_BGD});
  trimap.setTo(cv::GC_BGD, Eroded(outside, 2));
  trimap.setTo(cv::GC_PR_FGD, inside & ~shadow);
  trimap.setTo(cv::GC_FGD, Eroded(inside & ~shadow, 3));

  // GrabCut over the part that is not settled, and a margin of backdrop.
  cv::Mat1b open = trimap != cv::GC_BGD;
  cv::Rect box = cv::boundingRect(open);
  const int margin = std::max(8, std::max(w, h) / 40);
  box = cv::Rect(box.x - margin, box.y - margin, box.width + 2 * margin, box.height + 2 * margin) &
        cv::Rect(0, 0, w, h);
  cv::Mat1b labels = trimap(box).clone();
  const bool anyBackdrop = cv::countNonZero((labels == cv::GC_BGD) | (labels == cv::GC_PR_BGD)) > 0;
  const bool anyProduct = cv::countNonZero((labels == cv::GC_FGD) | (labels == cv::GC_PR_FGD)) > 0;
  if (anyBackdrop && anyProduct) {
    cv::Mat3b bytes;
    image(box).convertTo(bytes, CV_8UC3, 255.0);
    cv::Mat background, foreground;
    cv::grabCut(bytes, labels, cv::Rect(), background, foreground, kGrabCutRounds,
                cv::GC_INIT_WITH_MASK);
  }
  cv::Mat1b product(h, w, std::uint8_t{0});
  product(box).setTo(255, (labels == cv::GC_FGD) | (labels == cv::GC_PR_FGD));
  // Specks of either kind the cut left: dropped, and filled where they
  // were no hole found above.
  product = Parts(product, speck, [](const auto&) { return true; });
  const cv::Mat1b enclosed = ~product & ~outside & ~Reached(~product);
  const cv::Mat1b gaps = Parts(enclosed, 1, [&](const std::vector<cv::Point>& part) {
    return static_cast<int>(part.size()) < speck;
  });
  product |= gaps;

  for (int y = 0; y < h; ++y) {
    std::uint8_t* out = mask.Labels.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t t = trimap(y, x);
      out[x] = static_cast<std::uint8_t>(
          (product(y, x) ? TCutoutMask::kProduct : 0) |
          (t == cv::GC_PR_BGD || t == cv::GC_PR_FGD ? TCutoutMask::kUnsure : 0));
    }
  }
  return mask;
}

TCutoutMask WithNeighbours(const TCutoutMask& own, const TCutoutMask* before,
                           const TCutoutMask* after) {
  const auto fits = [&own](const TCutoutMask* m) {
    return m && m->Width == own.Width && m->Height == own.Height;
  };
  if (own.Empty() || !fits(before) || !fits(after)) return own;
  // Only the edge may move: a thin part the neighbours have elsewhere (a
  // handle turning) is this frame's own.
  cv::Mat1b product(own.Height, own.Width);
  for (std::size_t i = 0; i < own.Labels.size(); ++i)
    product.data[i] = (own.Labels[i] & TCutoutMask::kProduct) ? 255 : 0;
  const cv::Mat reach = cv::getStructuringElement(
      cv::MORPH_ELLIPSE, cv::Size(2 * kNeighbourReach + 1, 2 * kNeighbourReach + 1));
  cv::Mat1b grown, shrunk;
  cv::dilate(product, grown, reach);
  cv::erode(product, shrunk, reach);
  const cv::Mat1b edge = grown & ~shrunk;
  TCutoutMask out = own;
  for (std::size_t i = 0; i < out.Labels.size(); ++i) {
    std::uint8_t& l = out.Labels[i];
    if (!(l & TCutoutMask::kUnsure) || !edge.data[i]) continue;
    const std::uint8_t b = before->Labels[i] & TCutoutMask::kProduct;
    if (b == (after->Labels[i] & TCutoutMask::kProduct))
      l = static_cast<std::uint8_t>((l & ~TCutoutMask::kProduct) | b);
  }
  return out;
}

}  // namespace kalvane
