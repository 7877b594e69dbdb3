#include "imaging/PhotoFinish.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <utility>
#include <vips/vips8>

#include "base/AtomicFile.h"
#include "imaging/ImageKit.h"

namespace kalvane {

namespace {

std::string Message(const vips::VError& e) {
  std::string why = e.what();
  while (!why.empty() && why.back() == '\n')
    why.pop_back();
  return why;
}

vips::VImage Wrap(const TRgbImage& image) {
  vips::VImage rgb = vips::VImage::new_from_memory(const_cast<std::uint16_t*>(image.Pixels.data()),
                                                   image.Pixels.size() * 2, image.Width,
                                                   image.Height, 3, VIPS_FORMAT_USHORT);
  if (image.Alpha.size() == static_cast<std::size_t>(image.Width) * image.Height) {
    rgb = rgb.bandjoin(vips::VImage::new_from_memory(const_cast<std::uint16_t*>(image.Alpha.data()),
                                                     image.Alpha.size() * 2, image.Width,
                                                     image.Height, 1, VIPS_FORMAT_USHORT));
  }
  return rgb.copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
}

// Below this alpha (of full scale) a shaped cut-out is backdrop: what the
// scaler's ringing leaves around an edge stays exactly white.
constexpr double kLeastAlpha = 0.01 * kFullScale;

// A shaped cut-out (premultiplied, alpha last) laid on white, or with its
// colour divided out again to be written with its alpha.
vips::VImage Finished(const vips::VImage& shaped, bool keepAlpha) {
  const vips::VImage alpha = shaped[3];
  const vips::VImage clear = alpha < kLeastAlpha;
  const vips::VImage colour =
      clear.ifthenelse(0, shaped.extract_band(0, vips::VImage::option()->set("n", 3)));
  const vips::VImage a = clear.ifthenelse(0, alpha);
  if (!keepAlpha) {
    // Clipped at white by the cast back to 16 bits.
    return (colour + (kFullScale - a)).cast(VIPS_FORMAT_USHORT);
  }
  const vips::VImage straight =
      (colour * kFullScale / (a == 0).ifthenelse(1, a)).cast(VIPS_FORMAT_USHORT);
  return straight.bandjoin(a.cast(VIPS_FORMAT_USHORT));
}

int MarginPixels(double fraction, int side) {
  return static_cast<int>(std::lround(fraction * side));
}

vips::VImage Shape(vips::VImage image, const TGeometry& g, TFrameSize frame) {
  if (std::abs(g.LevelDegrees) > 1e-6) {
    // About the centre onto the photo's own frame: levelled photos keep the
    // size of the others, so a spin does not breathe. The corners the turn
    // uncovers take the photo's edge mirrored (the affine only fills what
    // lies outside its input with one colour, which shows as a seam).
    const double r = g.LevelDegrees * std::numbers::pi / 180, c = std::cos(r), s = std::sin(r);
    const int w = image.width(), h = image.height();
    const int m = static_cast<int>(std::ceil(std::max(w, h) * std::abs(s))) + 4;
    const double cx = w / 2.0, cy = h / 2.0;
    image = image
                .embed(m, m, w + 2 * m, h + 2 * m,
                       vips::VImage::option()->set("extend", VIPS_EXTEND_MIRROR))
                .affine({c, s, -s, c},
                        vips::VImage::option()
                            ->set("oarea", std::vector<int>{0, 0, w, h})
                            ->set("idx", -(cx + m))
                            ->set("idy", -(cy + m))
                            ->set("odx", cx)
                            ->set("ody", cy)
                            ->set("interpolate", vips::VInterpolate::new_from_name("bicubic")));
  }
  static constexpr VipsAngle kTurns[] = {VIPS_ANGLE_D0, VIPS_ANGLE_D270, VIPS_ANGLE_D180,
                                         VIPS_ANGLE_D90};
  if (g.QuarterTurns % 4 != 0) image = image.rot(kTurns[((g.QuarterTurns % 4) + 4) % 4]);
  if (g.MarginLeft > 0 || g.MarginTop > 0 || g.MarginRight > 0 || g.MarginBottom > 0) {
    const int left = MarginPixels(g.MarginLeft, image.width());
    const int top = MarginPixels(g.MarginTop, image.height());
    const int right = MarginPixels(g.MarginRight, image.width());
    const int bottom = MarginPixels(g.MarginBottom, image.height());
    image = image.extract_area(left, top, std::max(1, image.width() - left - right),
                               std::max(1, image.height() - top - bottom));
  }
  if (!frame.Empty() && (frame.Width != image.width() || frame.Height != image.height())) {
    const int w = image.width(), h = image.height();
    {
      const auto building = IKBuildingVectorCode();
      image = image.resize(double(frame.Width) / w,
                           vips::VImage::option()->set("vscale", double(frame.Height) / h));
    }
    // The scaler rounds its own way; a line more or less is cut or added.
    if (image.width() != frame.Width || image.height() != frame.Height) {
      image = image.embed(0, 0, frame.Width, frame.Height,
                          vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
  }
  return image;
}

}  // namespace

double TGeometry::KeptFraction() const {
  return std::min(1.0 - MarginLeft - MarginRight, 1.0 - MarginTop - MarginBottom);
}

bool TGeometry::Valid() const {
  const double m[] = {MarginLeft, MarginTop, MarginRight, MarginBottom};
  for (double v : m) {
    if (!(v >= 0 && v < 1)) return false;
  }
  return std::isfinite(LevelDegrees) && std::abs(LevelDegrees) <= 45 && KeptFraction() > 0.01;
}

void TGeometry::Shaped(int& width, int& height) const {
  if (QuarterTurns % 2 != 0) std::swap(width, height);
  width = std::max(1, width - MarginPixels(MarginLeft, width) - MarginPixels(MarginRight, width));
  height =
      std::max(1, height - MarginPixels(MarginTop, height) - MarginPixels(MarginBottom, height));
}

TFrameSize FrameFor(int width, int height, int longestSide, bool enlarge) {
  if (width <= 0 || height <= 0) return {};
  const int longest = std::max(width, height);
  int side = longestSide > 0 ? longestSide : longest;
  if (!enlarge) side = std::min(side, longest);
  const auto other = [side, longest](int length) {
    return std::max(1, static_cast<int>(std::lround(double(length) * side / longest)));
  };
  return width >= height ? TFrameSize{side, other(height)} : TFrameSize{other(width), side};
}

const char* PhotoExtension(TPhotoFormat format) {
  switch (format) {
    case TPhotoFormat::Png:
      return ".png";
    case TPhotoFormat::Webp:
      return ".webp";
    case TPhotoFormat::Jpeg:
      break;
  }
  return ".jpg";
}

TResult ShapePhoto(const TRgbImage& in, const TGeometry& geometry, TFrameSize frame,
                   TRgbImage& out) {
  IKInitialize();
  try {
    vips::VImage image = Shape(Wrap(in), geometry, frame);
    image = (image.bands() == 4 ? Finished(image, false) : image).cast(VIPS_FORMAT_USHORT);
    TRgbImage shaped;
    shaped.Width = image.width();
    shaped.Height = image.height();
    shaped.Pixels.resize(static_cast<std::size_t>(shaped.Width) * shaped.Height * 3);
    std::size_t bytes = 0;
    std::unique_ptr<void, decltype(&g_free)> data(image.write_to_memory(&bytes), g_free);
    std::memcpy(shaped.Pixels.data(), data.get(), std::min(bytes, shaped.Pixels.size() * 2));
    out = std::move(shaped);
  } catch (const vips::VError& e) {
    const std::string why = Message(e);
    vips_error_clear();
    return TResult::Fail(TErrorCode::Internal, why);
  }
  return {};
}

TPrepResult SavePhoto(const TRgbImage& in, const TPhotoMeta& meta, const TGeometry& geometry,
                      const TOutputSettings& output, const std::string& path, TFrameSize frame) {
  IKInitialize();
  const auto failed = [&path](const std::string& why) {
    return TPrepResult::Fail(TErrorCode::WriteFailed, TPrepFault::WriteFailed, path, why);
  };
  if (frame.Empty()) {
    int w = in.Width, h = in.Height;
    geometry.Shaped(w, h);
    frame = FrameFor(w, h, output.LongestSide, output.Enlarge);
  }
  // A photo in an output folder: a link in its place is replaced, never
  // written through.
  TAtomicFile file(path, TReadOnly::Refuse, TLinks::Replace);
  if (!file.Ok()) return failed(file.Error());
  const std::string part = file.TemporaryPath();
  try {
    vips::VImage image = Shape(Wrap(in), geometry, frame);
    const bool cut = image.bands() == 4;
    if (cut) image = Finished(image, output.KeepAlpha && output.Format != TPhotoFormat::Jpeg);
    const bool deep = output.Format == TPhotoFormat::Png && meta.SixteenBit;
    if (deep) {
      image = image.cast(VIPS_FORMAT_USHORT);
    } else {
      image = image.linear(1.0 / 257, 0.5)
                  .cast(VIPS_FORMAT_UCHAR)
                  .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    }
    if (output.KeepMetadata) {
      auto set = [&](const char* name, const std::string& blob) {
        if (!blob.empty()) image.set(name, nullptr, const_cast<char*>(blob.data()), blob.size());
      };
      set(VIPS_META_EXIF_NAME, meta.Exif);
      set(VIPS_META_XMP_NAME, meta.Xmp);
      set(VIPS_META_IPTC_NAME, meta.Iptc);
      // The pixels are upright now.
      image.set(VIPS_META_ORIENTATION, 1);
    }
    vips::VOption* options = vips::VImage::option()->set("strip", !output.KeepMetadata);
    const int quality = std::clamp(output.Quality, 1, 100);
    switch (output.Format) {
      case TPhotoFormat::Jpeg:
        // Halved colour would bleed the product's colour into the white
        // beside it.
        if (cut) options->set("subsample_mode", VIPS_FOREIGN_SUBSAMPLE_OFF);
        image.jpegsave(part.c_str(), options->set("Q", quality));
        break;
      case TPhotoFormat::Png:
        image.pngsave(part.c_str(), options);
        break;
      case TPhotoFormat::Webp:
        image.webpsave(part.c_str(), options->set("Q", quality));
        break;
    }
  } catch (const vips::VError&) {
    // libvips' words are its own and shared between threads: ours instead.
    vips_error_clear();
    return failed(path + ": cannot write the image");
  }
  if (!file.Commit()) return failed(file.Error());
  return {};
}

}  // namespace kalvane
