#include "imaging/TileShift.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kalvane {

namespace {

// Below this standard deviation (grey levels) a reference tile shows only
// a plain backdrop and its noise.
constexpr double kMinDetail = 4.0;

double Detail(const TIKGreyView& grey, TIKRect rect) {
  double sum = 0, squares = 0;
  for (int y = rect.top; y < rect.bottom; ++y) {
    const std::uint8_t* row = grey.Data + static_cast<std::size_t>(y) * grey.Stride;
    for (int x = rect.left; x < rect.right; ++x) {
      sum += row[x];
      squares += static_cast<double>(row[x]) * row[x];
    }
  }
  const double n = static_cast<double>(rect.right - rect.left) * (rect.bottom - rect.top);
  const double mean = sum / n;
  return std::sqrt(std::max(squares / n - mean * mean, 0.0));
}

// Tiles closer than this (pixels, along what they know) to a shift agree
// with it.
constexpr double kAgree = 0.35;

// One tile's match: its shift and how well each direction is known.
struct TTileMatch {
  bool Matched = false;
  double dx = 0, dy = 0;
  double Weight = 0;
  // The peak's curvature as a 2 x 2 matrix (xx, xy, yy), and the same
  // scaled so its larger eigenvalue is 1: residuals measured with it are
  // pixels along the directions the tile knows.
  double Jxx = 0, Jxy = 0, Jyy = 0;
  double Nxx = 0, Nxy = 0, Nyy = 0;
  double Residual(double x, double y) const {
    const double rx = dx - x, ry = dy - y;
    return std::sqrt(std::max(Nxx * rx * rx + 2 * Nxy * rx * ry + Nyy * ry * ry, 0.0));
  }
};

// Tile starts a tile apart, the last one flush with the end.
std::vector<int> Starts(int size, int tile) {
  std::vector<int> starts;
  for (int at = 0; at + tile <= size; at += tile)
    starts.push_back(at);
  if (!starts.empty() && starts.back() + tile < size) starts.push_back(size - tile);
  return starts;
}

// The curvature made positive semi-definite and no sharper than a point
// peak can be (the smoothing's sigma of a pixel makes about 1).
bool Shape(const TIKShiftInfo& info, TTileMatch& match) {
  const double a = info.CurveXX, b = info.CurveXY, c = info.CurveYY;
  const double mean = (a + c) / 2, spread = std::hypot((a - c) / 2, b);
  const double big = std::min(mean + spread, 2.0), small = std::clamp(mean - spread, 0.0, big);
  if (!(big > 1e-3)) return false;
  // The eigenvector of the larger eigenvalue.
  double vx = b, vy = mean + spread - a;
  if (std::abs(vx) + std::abs(vy) < 1e-12) {
    vx = a >= c ? 1 : 0;
    vy = 1 - vx;
  }
  const double length = std::hypot(vx, vy);
  vx /= length;
  vy /= length;
  // J = big v v' + small u u', u the perpendicular of v.
  match.Jxx = big * vx * vx + small * vy * vy;
  match.Jyy = big * vy * vy + small * vx * vx;
  match.Jxy = (big - small) * vx * vy;
  match.Nxx = match.Jxx / big;
  match.Nyy = match.Jyy / big;
  match.Nxy = match.Jxy / big;
  return true;
}

// The weighted median of the values, each `weight`s heavy.
double WeightedMedian(std::vector<std::pair<double, double>> values) {
  std::sort(values.begin(), values.end());
  double total = 0;
  for (const auto& v : values)
    total += v.second;
  double sum = 0;
  for (const auto& v : values) {
    sum += v.second;
    if (sum >= total / 2) return v.first;
  }
  return 0;
}

// The picture at half its size, each pixel the mean of four.
TIKGrey Halved(const TIKGreyView& grey) {
  TIKGrey half;
  half.Width = grey.Width / 2;
  half.Height = grey.Height / 2;
  half.Pixels.resize(static_cast<std::size_t>(half.Width) * half.Height);
  for (int y = 0; y < half.Height; ++y) {
    const std::uint8_t* a = grey.Data + static_cast<std::size_t>(2 * y) * grey.Stride;
    const std::uint8_t* b = a + grey.Stride;
    std::uint8_t* out = half.Pixels.data() + static_cast<std::size_t>(y) * half.Width;
    for (int x = 0; x < half.Width; ++x)
      out[x] =
          static_cast<std::uint8_t>((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) / 4);
  }
  return half;
}

TIKGreyView View(const TIKGrey& grey) {
  return {grey.Pixels.data(), grey.Width, grey.Height, static_cast<std::size_t>(grey.Width)};
}

}  // namespace

TTiledCorrelator::TTiledCorrelator(const TIKGreyView& reference, int tile, bool halve)
    : Halve(halve) {
  const TIKGrey half = halve ? Halved(reference) : TIKGrey();
  const TIKGreyView picture = halve ? View(half) : reference;
  tile = std::min({tile, picture.Width, picture.Height});
  if (tile < 16) return;
  for (const int top : Starts(picture.Height, tile)) {
    for (const int left : Starts(picture.Width, tile)) {
      const TIKRect rect{left, top, left + tile, top + tile};
      if (Detail(picture, rect) < kMinDetail) continue;
      Tiles.push_back(std::make_unique<TPhaseCorrelator>(picture, rect));
    }
  }
}

TTiledCorrelator::~TTiledCorrelator() = default;

TTiledShift TTiledCorrelator::Measure(const TIKGreyView& whole, double reach) const {
  if (Halve) {
    const TIKGrey half = Halved(whole);
    TTiledShift shift = Measure(View(half), reach / 2, 1);
    shift.dx *= 2;
    shift.dy *= 2;
    return shift;
  }
  return Measure(whole, reach, 1);
}

TTiledShift TTiledCorrelator::Measure(const TIKGreyView& picture, double reach, int) const {
  TTiledShift result;
  std::vector<TTileMatch> matches;
  for (const auto& tile : Tiles) {
    const TIKShiftInfo info = tile->MeasureShape(picture);
    const TIKShiftF& s = info.Shift;
    TTileMatch match;
    if (s.sharpness < kMinSharpness || std::hypot(s.dx, s.dy) > reach) continue;
    if (!Shape(info, match)) continue;
    match.dx = s.dx;
    match.dy = s.dy;
    match.Weight = s.sharpness;
    matches.push_back(match);
  }
  if (matches.empty()) return result;
  // Start from the weighted medians, each direction weighted by how well
  // the tiles know it, then let the agreeing tiles decide, tightening what
  // counts as agreeing step by step (Tukey's biweight).
  std::vector<std::pair<double, double>> xs, ys;
  for (const TTileMatch& m : matches) {
    xs.emplace_back(m.dx, m.Weight * m.Jxx);
    ys.emplace_back(m.dy, m.Weight * m.Jyy);
  }
  double x = WeightedMedian(std::move(xs)), y = WeightedMedian(std::move(ys));
  double scale = 2.0;
  for (int round = 0; round < 12; ++round) {
    double axx = 0, axy = 0, ayy = 0, bx = 0, by = 0;
    for (const TTileMatch& m : matches) {
      const double e = m.Residual(x, y) / scale;
      if (e >= 1) continue;
      const double w = m.Weight * (1 - e * e) * (1 - e * e);
      axx += w * m.Jxx;
      axy += w * m.Jxy;
      ayy += w * m.Jyy;
      bx += w * (m.Jxx * m.dx + m.Jxy * m.dy);
      by += w * (m.Jxy * m.dx + m.Jyy * m.dy);
    }
    // A direction no agreeing tile knows keeps the value it had.
    const double hold = 1e-3 * (axx + ayy) + 1e-9;
    axx += hold;
    ayy += hold;
    bx += hold * x;
    by += hold * y;
    const double det = axx * ayy - axy * axy;
    x = (ayy * bx - axy * by) / det;
    y = (axx * by - axy * bx) / det;
    scale = std::max(kAgree * 1.5, scale * 0.75);
  }
  double matched = 0, agreeing = 0;
  for (const TTileMatch& m : matches) {
    matched += m.Weight;
    if (m.Residual(x, y) > kAgree) continue;
    ++result.Agreeing;
    agreeing += m.Weight;
  }
  result.dx = x;
  result.dy = y;
  result.Share = matched > 0 ? agreeing / matched : 0;
  result.Found = result.Agreeing >= 2;
  return result;
}

namespace {

double Sample(const TIKGreyView& grey, double x, double y, bool& inside) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  if (ix < 0 || iy < 0 || ix + 1 >= grey.Width || iy + 1 >= grey.Height) {
    inside = false;
    return 0;
  }
  const double ax = x - fx, ay = y - fy;
  const std::uint8_t* p = grey.Data + static_cast<std::size_t>(iy) * grey.Stride + ix;
  const std::uint8_t* q = p + grey.Stride;
  return (1 - ay) * ((1 - ax) * p[0] + ax * p[1]) + ay * ((1 - ax) * q[0] + ax * q[1]);
}

}  // namespace

TEdgeAligner::TEdgeAligner(const TIKGreyView& reference) {
  const int w = reference.Width, h = reference.Height;
  if (w < 8 || h < 8) return;
  auto at = [&](int x, int y) {
    return static_cast<float>(reference.Data[static_cast<std::size_t>(y) * reference.Stride + x]);
  };
  // Central differences of a picture smoothed by its neighbours (a Sobel).
  std::vector<TEdge> all;
  for (int y = 2; y < h - 2; ++y) {
    for (int x = 2; x < w - 2; ++x) {
      const float gx = ((at(x + 1, y - 1) + 2 * at(x + 1, y) + at(x + 1, y + 1)) -
                        (at(x - 1, y - 1) + 2 * at(x - 1, y) + at(x - 1, y + 1))) /
                       8;
      const float gy = ((at(x - 1, y + 1) + 2 * at(x, y + 1) + at(x + 1, y + 1)) -
                        (at(x - 1, y - 1) + 2 * at(x, y - 1) + at(x + 1, y - 1))) /
                       8;
      const float g2 = gx * gx + gy * gy;
      // Less than this is the noise of a plain backdrop.
      if (g2 < 9) continue;
      all.push_back({x, y, at(x, y), gx, gy});
    }
  }
  // Evenly thinned to a number that keeps each step quick: weak edges are
  // kept as well as strong ones, since what stands still (a backdrop's
  // fold, a platter's rim) is often fainter than what turns.
  const std::size_t step = all.size() / kMostEdges + 1;
  for (std::size_t i = 0; i < all.size(); i += step)
    Edges.push_back(all[i]);
}

std::vector<float> TEdgeAligner::Residuals(const TIKGreyView& picture, double dx, double dy) const {
  std::vector<float> residuals(Edges.size());
  for (std::size_t i = 0; i < Edges.size(); ++i) {
    const TEdge& e = Edges[i];
    bool in = true;
    const double v = Sample(picture, e.X - dx, e.Y - dy, in);
    residuals[i] = in ? static_cast<float>(v - e.Value) : kOutside;
  }
  return residuals;
}

TEdgeAligner::TResult TEdgeAligner::Refine(const TIKGreyView& picture, double dx, double dy,
                                           const std::vector<float>& steadiness) const {
  TResult result;
  if (!Usable()) return result;
  const bool steady = steadiness.size() == Edges.size();
  std::vector<float> spread;
  for (int round = 0; round < 8; ++round) {
    const std::vector<float> residuals = Residuals(picture, dx, dy);
    spread.clear();
    for (std::size_t i = 0; i < Edges.size(); ++i) {
      if (residuals[i] != kOutside && (!steady || steadiness[i] > 0.5f))
        spread.push_back(std::abs(residuals[i]));
    }
    if (spread.size() < 64) return result;
    // Tukey's biweight at 4.685 robust standard deviations of the
    // residuals, never tighter than the noise of a few grey levels.
    const auto middle = spread.begin() + static_cast<std::ptrdiff_t>(spread.size() / 2);
    std::nth_element(spread.begin(), middle, spread.end());
    const double scale = std::max(4.685 * 1.4826 * *middle, 12.0);
    double axx = 0, axy = 0, ayy = 0, bx = 0, by = 0, kept = 0, all = 0;
    for (std::size_t i = 0; i < Edges.size(); ++i) {
      if (residuals[i] == kOutside) continue;
      const double prior = steady ? steadiness[i] : 1.0;
      all += prior;
      const double u = residuals[i] / scale;
      if (u * u >= 1) continue;
      const double w = prior * (1 - u * u) * (1 - u * u);
      const TEdge& e = Edges[i];
      axx += w * e.Gx * e.Gx;
      axy += w * e.Gx * e.Gy;
      ayy += w * e.Gy * e.Gy;
      bx += w * e.Gx * residuals[i];
      by += w * e.Gy * residuals[i];
      kept += w;
    }
    const double det = axx * ayy - axy * axy;
    if (!(det > 1e-6 * (axx + ayy) * (axx + ayy)) || axx + ayy <= 0) return result;
    const double sx = (ayy * bx - axy * by) / det, sy = (axx * by - axy * bx) / det;
    dx += std::clamp(sx, -1.0, 1.0);
    dy += std::clamp(sy, -1.0, 1.0);
    result.Agreeing = all > 0 ? kept / all : 0;
    if (std::abs(sx) < 0.005 && std::abs(sy) < 0.005) break;
  }
  result.dx = dx;
  result.dy = dy;
  result.Found = true;
  return result;
}

std::vector<float> TEdgeAligner::Steadiness(const std::vector<std::vector<float>>& set) const {
  std::vector<float> steadiness(Edges.size(), 1.0f);
  if (set.size() < 3) return steadiness;
  // Each edge pixel's typical residual over the set: what stands still
  // differs by the noise (and what is left of the shake), what turns by
  // far more in most of the pictures.
  std::vector<float> typical(Edges.size(), kOutside), values;
  for (std::size_t i = 0; i < Edges.size(); ++i) {
    values.clear();
    for (const std::vector<float>& residuals : set) {
      if (i < residuals.size() && residuals[i] != kOutside)
        values.push_back(std::abs(residuals[i]));
    }
    if (values.size() * 2 < set.size()) continue;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    typical[i] = *middle;
  }
  // The steadiest quarter shows what standing still looks like here.
  std::vector<float> known;
  for (const float t : typical) {
    if (t != kOutside) known.push_back(t);
  }
  if (known.size() < 64) return steadiness;
  const auto quarter = known.begin() + static_cast<std::ptrdiff_t>(known.size() / 4);
  std::nth_element(known.begin(), quarter, known.end());
  const double still = std::max(3.0 * *quarter, 6.0);
  for (std::size_t i = 0; i < Edges.size(); ++i) {
    const double u = typical[i] == kOutside ? 1 : typical[i] / still;
    steadiness[i] = u >= 1 ? 0.0f : static_cast<float>((1 - u * u) * (1 - u * u));
  }
  return steadiness;
}

void IKSmoothGrey(TIKGrey& grey) {
  const int w = grey.Width, h = grey.Height;
  if (w < 3 || h < 3) return;
  // Taps 1 4 6 4 1 each way, the edges repeated outwards.
  std::vector<std::uint16_t> rows(static_cast<std::size_t>(w) * h);
  std::vector<int> line(static_cast<std::size_t>(std::max(w, h)) + 4);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* in = grey.Pixels.data() + static_cast<std::size_t>(y) * w;
    line[0] = line[1] = in[0];
    for (int x = 0; x < w; ++x)
      line[static_cast<std::size_t>(x) + 2] = in[x];
    line[static_cast<std::size_t>(w) + 2] = line[static_cast<std::size_t>(w) + 3] = in[w - 1];
    std::uint16_t* out = rows.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const int* p = line.data() + x;
      out[x] = static_cast<std::uint16_t>(p[0] + 4 * p[1] + 6 * p[2] + 4 * p[3] + p[4]);
    }
  }
  for (int y = 0; y < h; ++y) {
    const std::uint16_t* r[5];
    for (int k = 0; k < 5; ++k)
      r[k] = rows.data() + static_cast<std::size_t>(std::clamp(y + k - 2, 0, h - 1)) * w;
    std::uint8_t* out = grey.Pixels.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      out[x] = static_cast<std::uint8_t>(
          (r[0][x] + 4 * r[1][x] + 6 * r[2][x] + 4 * r[3][x] + r[4][x] + 128) >> 8);
    }
  }
}

}  // namespace kalvane
