#include "imaging/BackdropClean.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>
#include <vips/vips8>

#include "imaging/ImageKit.h"

namespace kalvane {

namespace {

using vips::VImage;

// The backdrop is found on a copy this long: grain averages out, and the
// whole search stays quick on a 12 MP photo. Only the blend along its edge
// is worked out at the photo's own size.
constexpr int kWorkSide = 1024;
// Its level is modelled this coarse: a sweep's light changes slowly.
constexpr int kModelSide = 96;
// The strips along the edges where the backdrop is looked for first.
constexpr double kStrip = 0.04;
// Each pass models the level from the backdrop found by the one before.
constexpr int kPasses = 2;
// A shadow is the backdrop's colour at less light; deeper than this it is
// more likely a grey part of the product.
constexpr double kDeepestShadow = 0.6;
// What counts as an edge: far above the backdrop's own grain, within these.
constexpr double kLeastEdge = 0.025, kMostEdge = 0.06;
constexpr double kEdgeOverGrain = 2.0;
// Colours within this of the border's (as parts of the sum) are the backdrop's.
constexpr double kColourMargin = 0.01;
// Darker than this (the mean of the channels) a colour says little.
constexpr double kDarkest = 0.15;
// The product lost colour: this much of the photo, and this part of the
// colours the border does not show.
constexpr double kLostArea = 0.002, kLostPart = 0.1;

vips::VOption* Opt() {
  return VImage::option();
}

VImage BandMax(const VImage& in) {
  return VImage::bandrank({in[0], in[1], in[2]}, Opt()->set("index", 2));
}

VImage Larger(const VImage& a, const VImage& b) {
  return (a > b).ifthenelse(a, b);
}

VImage Smaller(const VImage& a, const VImage& b) {
  return (a < b).ifthenelse(a, b);
}

// Exactly `w` x `h`: a scaler's extra line cut, a missing one copied.
VImage Fit(const VImage& in, int w, int h) {
  VImage out = in;
  if (out.width() > w || out.height() > h)
    out = out.extract_area(0, 0, std::min(w, out.width()), std::min(h, out.height()));
  if (out.width() < w || out.height() < h)
    out = out.embed(0, 0, w, h, Opt()->set("extend", VIPS_EXTEND_COPY));
  return out;
}

VImage Resized(const VImage& in, int w, int h) {
  if (in.width() == w && in.height() == h) return in;
  VImage resized;
  {
    const auto building = IKBuildingVectorCode();
    resized =
        in.resize(double(w) / in.width(),
                  Opt()->set("vscale", double(h) / in.height())->set("kernel", VIPS_KERNEL_LINEAR));
  }
  return Fit(resized, w, h);
}

VImage Strips(int w, int h) {
  const int bx = std::max(1, static_cast<int>(std::lround(w * kStrip)));
  const int by = std::max(1, static_cast<int>(std::lround(h * kStrip)));
  VImage m = VImage::black(w, h).copy_memory();
  m.draw_rect({255}, 0, 0, w, by, Opt()->set("fill", true));
  m.draw_rect({255}, 0, h - by, w, by, Opt()->set("fill", true));
  m.draw_rect({255}, 0, 0, bx, h, Opt()->set("fill", true));
  m.draw_rect({255}, w - bx, 0, bx, h, Opt()->set("fill", true));
  return m;
}

// The edge strength the grain itself reaches in the strips: the middle of
// the four strips, so a product reaching one side does not raise it.
double GrainEdge(const VImage& edges, double p) {
  const int w = edges.width(), h = edges.height();
  const int bx = std::max(1, static_cast<int>(std::lround(w * kStrip)));
  const int by = std::max(1, static_cast<int>(std::lround(h * kStrip)));
  const auto* data = static_cast<const float*>(edges.data());
  const auto quantile = [&](int x0, int y0, int ww, int hh) {
    std::vector<float> v;
    v.reserve(static_cast<std::size_t>(ww) * hh);
    for (int y = y0; y < y0 + hh; ++y)
      v.insert(v.end(), data + static_cast<std::size_t>(y) * w + x0,
               data + static_cast<std::size_t>(y) * w + x0 + ww);
    const auto at = v.begin() + static_cast<std::ptrdiff_t>(p * (v.size() - 1));
    std::nth_element(v.begin(), at, v.end());
    return static_cast<double>(*at);
  };
  double q[4] = {quantile(0, 0, w, by), quantile(0, h - by, w, by), quantile(0, 0, bx, h),
                 quantile(w - bx, 0, bx, h)};
  std::sort(q, q + 4);
  return (q[1] + q[2]) / 2;
}

// The backdrop's level everywhere: a plane fitted to the backdrop near
// each place, weighted by nearness, so the level follows a sweep's slope
// into the corners and reaches over what is not backdrop; -1 where no
// backdrop is near.
VImage Level(const VImage& work, const VImage& backdrop, double sigma) {
  const int w = work.width(), h = work.height();
  const int f = std::max(1, static_cast<int>(std::ceil(double(std::max(w, h)) / kModelSide)));
  const VImage weight = backdrop.cast(VIPS_FORMAT_FLOAT) / 255;
  // Each cell: how much of it is backdrop, and the backdrop's sum in it.
  const VImage count = weight.shrink(f, f), sum = (work * weight).shrink(f, f);
  const int mw = count.width(), mh = count.height();
  const VImage xy = VImage::xyz(mw, mh).cast(VIPS_FORMAT_FLOAT);
  const VImage x = xy[0], y = xy[1];
  // The weighted moments, each blurred: 6 of place, 9 of level.
  const double radius = sigma * std::max(mw, mh);
  const VImage moments =
      VImage::bandjoin({count, count * x, count * y, count * x * x, count * x * y, count * y * y,
                        sum, sum * x, sum * y})
          .gaussblur(radius, Opt()->set("min_ampl", 0.001)->set("precision", VIPS_PRECISION_FLOAT))
          .copy_memory();
  const auto* m = static_cast<const float*>(moments.data());
  std::vector<float> level(static_cast<std::size_t>(mw) * mh * 3);
  for (int py = 0; py < mh; ++py) {
    for (int px = 0; px < mw; ++px) {
      const float* v = m + (static_cast<std::size_t>(py) * mw + px) * 15;
      float* out = level.data() + (static_cast<std::size_t>(py) * mw + px) * 3;
      const double s0 = v[0];
      if (s0 < 1e-4) {
        out[0] = out[1] = out[2] = -1;
        continue;
      }
      // About this place: the plane's height here is what is wanted.
      const double sx = v[1] - px * s0, sy = v[2] - py * s0;
      // A little stiffness keeps the slope sane where the backdrop near is
      // only a thin strip.
      const double stiff = 0.02 * s0 * radius * radius;
      const double sxx = v[3] - 2 * px * v[1] + px * px * s0 + stiff;
      const double sxy = v[4] - px * v[2] - py * v[1] + px * py * s0;
      const double syy = v[5] - 2 * py * v[2] + py * py * s0 + stiff;
      // The first row of the inverse of [[s0 sx sy] [sx sxx sxy] [sy sxy syy]].
      const double c0 = sxx * syy - sxy * sxy, c1 = sy * sxy - sx * syy, c2 = sx * sxy - sy * sxx;
      const double det = s0 * c0 + sx * c1 + sy * c2;
      for (int c = 0; c < 3; ++c) {
        const double si = v[6 + c], six = v[9 + c] - px * si, siy = v[12 + c] - py * si;
        out[c] = static_cast<float>(
            std::abs(det) > 1e-12 * s0 * c0 ? (c0 * si + c1 * six + c2 * siy) / det : si / s0);
      }
    }
  }
  const VImage plane = VImage::new_from_memory(level.data(), level.size() * sizeof(float), mw, mh,
                                               3, VIPS_FORMAT_FLOAT);
  return Resized(plane, w, h).copy_memory();
}

// Within `threshold` of the level, or (shadows taken) of a darker shade of
// it; 0 or 255.
VImage Near(const VImage& pixels, const VImage& level, double threshold, bool keepShadows) {
  VImage d = BandMax((pixels - level).abs());
  if (!keepShadows) {
    const VImage mean = level.bandmean();
    const VImage shade = pixels.bandmean() / Larger(mean, mean.new_from_image(1e-6));
    const VImage fromShade = BandMax((pixels - level * shade).abs());
    d = ((shade >= kDeepestShadow) & (shade < 1)).ifthenelse(Smaller(d, fromShade), d);
  }
  return d < std::max(0.0, threshold);
}

// The distance the settings measure, for one pixel: to the level, or to the
// nearest shade of it when shadows are taken.
double Distance(const float* p, const float* level, bool keepShadows) {
  double d = 0;
  for (int c = 0; c < 3; ++c)
    d = std::max(d, std::abs(p[c] - static_cast<double>(level[c])));
  const double mean = (level[0] + level[1] + level[2]) / 3.0;
  if (keepShadows || mean <= 1e-6) return d;
  const double shade = (p[0] + p[1] + p[2]) / 3.0 / mean;
  if (shade < kDeepestShadow || shade >= 1) return d;
  double fromShade = 0;
  for (int c = 0; c < 3; ++c)
    fromShade = std::max(fromShade, std::abs(p[c] - shade * level[c]));
  return std::min(d, fromShade);
}

// Whitens the photo at its own size from what was found on the copy. By
// hand: nearly every pixel is either well inside the backdrop or away from
// it, and only the thin edge between needs its distance worked out.
void Blend(TRgbImage& image, const VImage& inside, const VImage& zone, const VImage& level,
           const TCleanSettings& s) {
  const int w = inside.width(), h = inside.height(), fw = image.Width, fh = image.Height;
  const auto* in = static_cast<const unsigned char*>(inside.data());
  const auto* near = static_cast<const unsigned char*>(zone.data());
  const auto* lv = static_cast<const float*>(level.data());
  // Where each pixel of the photo falls between the copy's pixel centres.
  struct TSpan {
    int a, b;
    float f;
  };
  const auto spans = [](int full, int small) {
    std::vector<TSpan> v(full);
    for (int i = 0; i < full; ++i) {
      const double at = std::clamp((i + 0.5) * small / full - 0.5, 0.0, small - 1.0);
      const int a = static_cast<int>(at);
      v[i] = {a, std::min(a + 1, small - 1), static_cast<float>(at - a)};
    }
    return v;
  };
  const std::vector<TSpan> xs = spans(fw, w), ys = spans(fh, h);
  const double threshold = std::max(0.0, s.Threshold), soft = std::max(0.0, s.SoftEdge);
  for (int y = 0; y < fh; ++y) {
    const TSpan& sy = ys[y];
    std::uint16_t* p = image.Row(y);
    for (int x = 0; x < fw; ++x, p += 3) {
      const TSpan& sx = xs[x];
      const std::size_t i00 = static_cast<std::size_t>(sy.a) * w + sx.a,
                        i01 = static_cast<std::size_t>(sy.a) * w + sx.b,
                        i10 = static_cast<std::size_t>(sy.b) * w + sx.a,
                        i11 = static_cast<std::size_t>(sy.b) * w + sx.b;
      if ((in[i00] & in[i01] & in[i10] & in[i11]) != 0) {
        p[0] = p[1] = p[2] = 65535;
        continue;
      }
      if ((near[i00] | near[i01] | near[i10] | near[i11]) == 0) continue;
      const auto mix = [&](float v00, float v01, float v10, float v11) {
        return (v00 + (v01 - v00) * sx.f) * (1 - sy.f) + (v10 + (v11 - v10) * sx.f) * sy.f;
      };
      const float a = mix(in[i00], in[i01], in[i10], in[i11]) / 255;
      const float z = mix(near[i00], near[i01], near[i10], near[i11]) / 255;
      float l[3], q[3];
      for (int c = 0; c < 3; ++c) {
        l[c] = mix(lv[3 * i00 + c], lv[3 * i01 + c], lv[3 * i10 + c], lv[3 * i11 + c]);
        q[c] = static_cast<float>(p[c] / kFullScale);
      }
      const double d = Distance(q, l, s.KeepShadows);
      const double white =
          soft > 0 ? 1 - std::clamp((d - threshold) / soft, 0.0, 1.0) : (d < threshold ? 1 : 0);
      const double alpha = std::max<double>(a, z * white);
      for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint16_t>(std::nearbyint(p[c] + alpha * (kFullScale - p[c])));
    }
  }
}

// The candidates reached from outside the photo, 4-connected; 0 or 255.
VImage Reached(const VImage& candidates) {
  const int w = candidates.width(), h = candidates.height();
  VImage framed = candidates
                      .embed(1, 1, w + 2, h + 2,
                             Opt()
                                 ->set("extend", VIPS_EXTEND_BACKGROUND)
                                 ->set("background", std::vector<double>{255}))
                      .copy_memory();
  // Over the pixels equal to the first one, not up to the ink.
  framed.draw_flood({128}, 0, 0, Opt()->set("equal", true));
  return (framed.extract_area(1, 1, w, h) == 128).copy_memory();
}

}  // namespace

bool TCleanReport::ProductLostColour() const {
  return LostColour >= kLostArea && LostColour >= kLostPart * OwnColour;
}

TCleanReport CleanBackdrop(TRgbImage& image, const TCleanSettings& settings) {
  TCleanReport report;
  if (image.Width < 8 || image.Height < 8) return report;
  IKInitialize();
  const int fw = image.Width, fh = image.Height;
  const VImage full = VImage::new_from_memory(image.Pixels.data(), image.Pixels.size() * 2, fw, fh,
                                              3, VIPS_FORMAT_USHORT);
  const double scale = std::min(1.0, double(kWorkSide) / std::max(fw, fh));
  const VImage work =
      ((scale < 1 ? full.resize(scale) : full).cast(VIPS_FORMAT_FLOAT) / kFullScale).copy_memory();
  const int w = work.width(), h = work.height();

  // Edges: the spread of levels around each pixel after a slight blur, which
  // a speck of grain hardly keeps and a product's outline does.
  const VImage smooth = work.gaussblur(0.7, Opt()->set("precision", VIPS_PRECISION_FLOAT));
  const VImage edges = BandMax(smooth.rank(3, 3, 8) - smooth.rank(3, 3, 0)).copy_memory();
  const double edgeLimit =
      std::clamp(kEdgeOverGrain * GrainEdge(edges, 0.9), kLeastEdge, kMostEdge);
  const VImage flat = edges < edgeLimit;

  VImage backdrop = (Strips(w, h) & flat).copy_memory();
  VImage level;
  for (int pass = 0; pass < kPasses; ++pass) {
    level = Level(work, backdrop, pass == 0 ? 0.2 : 0.1);
    backdrop = Reached(Near(work, level, settings.Threshold, settings.KeepShadows) & flat);
  }

  // Inside the backdrop: white. Along its edge, up to two pixels of the
  // copy beyond where it fades out: white as near as the pixel is to the
  // level, the feather blending.
  const double reach = std::max(0.0, settings.Threshold) + std::max(0.0, settings.SoftEdge);
  const VImage fading = Reached(Near(work, level, reach, settings.KeepShadows) & flat);
  const VImage inside = backdrop.rank(3, 3, 0).copy_memory();
  Blend(image, inside, fading.rank(5, 5, 24).copy_memory(), level, settings);

  report.Whitened = inside.avg() / 255;

  // The colours the border shows, as parts of the sum, against those that
  // went white. Each side gives its range; the widest end of the four is
  // left out, so a product reaching one side does not count as backdrop.
  std::array<std::vector<double>, 4> ends;  // red low, red high, blue low, blue high
  const int bx = std::max(1, static_cast<int>(std::lround(w * kStrip)));
  const int by = std::max(1, static_cast<int>(std::lround(h * kStrip)));
  const auto* px = static_cast<const float*>(work.data());
  for (const auto& [x0, y0, sw, sh] :
       {std::array<int, 4>{0, 0, w, by}, {0, h - by, w, by}, {0, 0, bx, h}, {w - bx, 0, bx, h}}) {
    std::vector<float> reds, blues;
    for (int y = y0; y < y0 + sh; ++y) {
      const float* p = px + (static_cast<std::size_t>(y) * w + x0) * 3;
      for (int x = 0; x < sw; ++x, p += 3) {
        const float total = p[0] + p[1] + p[2];
        if (total <= 3 * kDarkest) continue;
        reds.push_back(p[0] / total);
        blues.push_back(p[2] / total);
      }
    }
    if (reds.empty()) continue;
    for (const auto& [v, low, high] : {std::tuple{&reds, 0, 1}, std::tuple{&blues, 2, 3}}) {
      std::sort(v->begin(), v->end());
      ends[low].push_back(v->at(v->size() / 50));
      ends[high].push_back(v->at(v->size() - 1 - v->size() / 50));
    }
  }
  if (ends[0].empty()) return report;
  for (std::vector<double>& e : ends)
    std::sort(e.begin(), e.end());
  // The second widest of each end.
  const auto low = [](const std::vector<double>& e) {
    return e[std::min<std::size_t>(1, e.size() - 1)] - kColourMargin;
  };
  const auto high = [](const std::vector<double>& e) {
    return e[e.size() - 1 - std::min<std::size_t>(1, e.size() - 1)] + kColourMargin;
  };
  const VImage sum = work[0] + work[1] + work[2];
  const VImage red = work[0] / sum, blue = work[2] / sum;
  const VImage own =
      (red < low(ends[0])) | (red > high(ends[1])) | (blue < low(ends[2])) | (blue > high(ends[3]));
  const VImage ownColour = (own & (sum > 3 * kDarkest)).copy_memory();
  report.OwnColour = ownColour.avg() / 255;
  report.LostColour = (ownColour & inside).avg() / 255;
  return report;
}

}  // namespace kalvane
