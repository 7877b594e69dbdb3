#include "imaging/FrameFacts.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/VipsImage.h"

namespace kalvane {

using vips::VError;
using vips::VImage;

namespace {

// Below this in any channel a pixel is not white: JPEG's ripple on a
// white ground stays above it.
constexpr int kWhiteEnough = 250;

std::string FormatOf(const std::vector<std::uint8_t>& b) {
  auto starts = [&b](const char* magic, std::size_t at = 0) {
    const std::size_t n = std::strlen(magic);
    return b.size() >= at + n && std::memcmp(b.data() + at, magic, n) == 0;
  };
  if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "jpeg";
  if (starts("\x89PNG\r\n\x1A\n")) return "png";
  if (starts("RIFF") && starts("WEBP", 8)) return "webp";
  if (starts("GIF8")) return "gif";
  if (starts("II*") || starts("MM")) return "tiff";
  if (starts("BM")) return "bmp";
  if (starts("ftyp", 4)) return "heif";
  return "unknown";
}

// 8-bit sRGB with three bands, anything transparent laid on white, as a
// shop's white page shows it.
VImage OnWhite(VImage in) {
  if (in.bands() == 2 || in.bands() == 4 || vips_image_hasalpha(in.get_image())) {
    const double most = in.format() == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    in = in.flatten(VImage::option()
                        ->set("background", std::vector<double>{most, most, most})
                        ->set("max_alpha", most));
  }
  if (in.interpretation() != VIPS_INTERPRETATION_sRGB)
    in = in.colourspace(VIPS_INTERPRETATION_sRGB);
  if (in.bands() > 3) in = in.extract_band(0, VImage::option()->set("n", 3));
  if (in.bands() == 1) in = VImage::bandjoin(std::vector<VImage>{in, in, in});
  if (in.format() == VIPS_FORMAT_USHORT) in = in >> 8;
  return in.cast(VIPS_FORMAT_UCHAR).copy_memory();
}

}  // namespace

int BorderRingWidth(int width, int height) {
  return std::max(1, static_cast<int>(std::lround(0.01 * std::min(width, height))));
}

std::optional<TFrameFacts> MeasureFrame(const std::vector<std::uint8_t>& bytes,
                                        std::string* error) {
  IKInitialize();
  TFrameFacts facts;
  facts.Format = FormatOf(bytes);
  facts.Bytes = bytes.size();
  if (facts.Format == "unknown") {
    if (error) *error = "not a picture";
    return std::nullopt;
  }
  try {
    const VImage image = OnWhite(VImage::new_from_buffer(
        bytes.data(), bytes.size(), "", VImage::option()->set("fail_on", VIPS_FAIL_ON_TRUNCATED)));
    const int w = image.width(), h = image.height();
    facts.Width = w;
    facts.Height = h;
    facts.RingWidth = BorderRingWidth(w, h);
    const auto* pixels = static_cast<const std::uint8_t*>(image.data());
    // A product's box counts rows and columns with more than a speck of
    // not-white in them, so a lone JPEG artefact does not widen it.
    std::vector<int> columns(static_cast<std::size_t>(w)), rows(static_cast<std::size_t>(h));
    const int ring = facts.RingWidth;
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* p = pixels + static_cast<std::size_t>(y) * w * 3;
      const bool edgeRow = y < ring || y >= h - ring;
      for (int x = 0; x < w; ++x, p += 3) {
        const int least = std::min({p[0], p[1], p[2]});
        if ((edgeRow || x < ring || x >= w - ring) && least < facts.BorderLeast) {
          facts.BorderLeast = least;
          facts.BorderX = x;
          facts.BorderY = y;
        }
        if (least < kWhiteEnough) {
          ++columns[static_cast<std::size_t>(x)];
          ++rows[static_cast<std::size_t>(y)];
        }
      }
    }
    const int speckX = std::max(1, h / 500), speckY = std::max(1, w / 500);
    auto first = [](const std::vector<int>& counts, int speck) {
      const auto at =
          std::find_if(counts.begin(), counts.end(), [speck](int n) { return n > speck; });
      return static_cast<int>(at - counts.begin());
    };
    auto last = [](const std::vector<int>& counts, int speck) {
      const auto at =
          std::find_if(counts.rbegin(), counts.rend(), [speck](int n) { return n > speck; });
      return static_cast<int>(counts.rend() - at);
    };
    facts.Left = first(columns, speckX);
    facts.Right = last(columns, speckX);
    facts.Top = first(rows, speckY);
    facts.Bottom = last(rows, speckY);
    facts.HasProduct = facts.Left < facts.Right && facts.Top < facts.Bottom;
    return facts;
  } catch (const VError& e) {
    vips_error_clear();
    if (error) {
      std::string why = e.what();
      while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
        why.pop_back();
      *error = "cannot be decoded (" + why + ")";
    }
    return std::nullopt;
  }
}

}  // namespace kalvane
