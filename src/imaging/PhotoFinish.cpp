#include "imaging/PhotoFinish.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
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
  return vips::VImage::new_from_memory(const_cast<std::uint16_t*>(image.Pixels.data()),
                                       image.Pixels.size() * 2, image.Width, image.Height, 3,
                                       VIPS_FORMAT_USHORT)
      .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_RGB16));
}

vips::VImage Shape(vips::VImage image, const TGeometry& g, int longestSide) {
  const std::vector<double> white{kFullScale, kFullScale, kFullScale};
  if (std::abs(g.LevelDegrees) > 1e-6) {
    // libvips turns clockwise for a positive angle.
    image = image.rotate(-g.LevelDegrees, vips::VImage::option()->set("background", white));
  }
  static constexpr VipsAngle kTurns[] = {VIPS_ANGLE_D0, VIPS_ANGLE_D270, VIPS_ANGLE_D180,
                                         VIPS_ANGLE_D90};
  if (g.QuarterTurns % 4 != 0) image = image.rot(kTurns[((g.QuarterTurns % 4) + 4) % 4]);
  if (g.MarginLeft > 0 || g.MarginTop > 0 || g.MarginRight > 0 || g.MarginBottom > 0) {
    const int left = static_cast<int>(std::lround(g.MarginLeft * image.width()));
    const int top = static_cast<int>(std::lround(g.MarginTop * image.height()));
    const int right = static_cast<int>(std::lround(g.MarginRight * image.width()));
    const int bottom = static_cast<int>(std::lround(g.MarginBottom * image.height()));
    image = image.extract_area(left, top, std::max(1, image.width() - left - right),
                               std::max(1, image.height() - top - bottom));
  }
  if (longestSide > 0) {
    const int w = image.width(), h = image.height();
    const bool wide = w >= h;
    // The longest side exactly; the other by the aspect, at least 1.
    const int newW = wide ? longestSide
                          : std::max(1, static_cast<int>(std::lround(double(w) * longestSide / h)));
    const int newH = wide ? std::max(1, static_cast<int>(std::lround(double(h) * longestSide / w)))
                          : longestSide;
    if (newW != w || newH != h) {
      image =
          image.resize(double(newW) / w, vips::VImage::option()->set("vscale", double(newH) / h));
      // The scaler rounds its own way; a line more or less is cut or added.
      if (image.width() != newW || image.height() != newH) {
        image =
            image.embed(0, 0, newW, newH, vips::VImage::option()->set("extend", VIPS_EXTEND_COPY));
      }
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

TResult ShapePhoto(const TRgbImage& in, const TGeometry& geometry, int longestSide,
                   TRgbImage& out) {
  IKInitialize();
  try {
    vips::VImage image = Shape(Wrap(in), geometry, longestSide).cast(VIPS_FORMAT_USHORT);
    TRgbImage shaped;
    shaped.Width = image.width();
    shaped.Height = image.height();
    shaped.Pixels.resize(static_cast<std::size_t>(shaped.Width) * shaped.Height * 3);
    std::size_t bytes = 0;
    std::unique_ptr<void, decltype(&g_free)> data(image.write_to_memory(&bytes), g_free);
    std::memcpy(shaped.Pixels.data(), data.get(), std::min(bytes, shaped.Pixels.size() * 2));
    out = std::move(shaped);
  } catch (const vips::VError& e) {
    return TResult::Fail(TErrorCode::Internal, Message(e));
  }
  return {};
}

TResult SavePhoto(const TRgbImage& in, const TPhotoMeta& meta, const TGeometry& geometry,
                  const TOutputSettings& output, const std::string& path) {
  IKInitialize();
  TAtomicFile file(path);
  if (!file.Ok()) return TResult::Fail(TErrorCode::WriteFailed, file.Error());
  const std::string part = file.TemporaryPath();
  try {
    vips::VImage image = Shape(Wrap(in), geometry, output.LongestSide);
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
        image.jpegsave(part.c_str(), options->set("Q", quality));
        break;
      case TPhotoFormat::Png:
        image.pngsave(part.c_str(), options);
        break;
      case TPhotoFormat::Webp:
        image.webpsave(part.c_str(), options->set("Q", quality));
        break;
    }
  } catch (const vips::VError& e) {
    return TResult::Fail(TErrorCode::WriteFailed, path + ": " + Message(e));
  }
  if (!file.Commit()) return TResult::Fail(TErrorCode::WriteFailed, file.Error());
  return {};
}

}  // namespace kalvane
