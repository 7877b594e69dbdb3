#include "imaging/ImageKit.h"

#include <malloc.h>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>
#include <vips/vips8>

#include "base/AppUtil.h"
#include "base/Round.h"
#include "imaging/JpegRegion.h"
#include "imaging/Resample.h"
#include "imaging/VipsImage.h"

namespace kalvane {

using vips::VError;
using vips::VImage;

namespace {
// Set while this thread decodes a JPEG: counts the warnings the decoder
// gives when it closes (a reduced decode reports damage only then).
thread_local int* gHeardWarnings = nullptr;
}  // namespace

std::string IKOwnErrorLines(const std::string& detail, const std::string& path) {
  if (path.empty()) return detail;
  const std::string name = ExtractName(path);
  std::string kept;
  std::size_t start = 0;
  while (start <= detail.size()) {
    std::size_t end = detail.find('\n', start);
    if (end == std::string::npos) end = detail.size();
    const std::string line = detail.substr(start, end - start);
    start = end + 1;
    if (line.empty() ||
        (line.find('/') != std::string::npos && line.find(name) == std::string::npos))
      continue;
    kept += (kept.empty() ? "" : "\n") + line;
  }
  return kept;
}

TIKImage::TIKImage() = default;
TIKImage::~TIKImage() = default;
TIKImage::TIKImage(TIKImage&&) noexcept = default;
TIKImage& TIKImage::operator=(TIKImage&&) noexcept = default;
TIKImage::TIKImage(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TIKImage TIKImage::Failed(std::string error) {
  auto impl = std::make_unique<Impl>();
  impl->error = std::move(error);
  return TIKImage(std::move(impl));
}

bool TIKImage::IsEmpty() const {
  return !impl_ || impl_->image.get_image() == nullptr;
}
int TIKImage::Width() const {
  return IsEmpty() ? 0 : impl_->image.width();
}
int TIKImage::Height() const {
  return IsEmpty() ? 0 : impl_->image.height();
}

const std::string& TIKImage::Error() const {
  static const std::string kNone;
  static const std::string kEmpty = "no image";
  if (!impl_) return kEmpty;
  return impl_->image.get_image() ? kNone : impl_->error;
}

const std::string& TIKImage::Warning() const {
  static const std::string kNone;
  return impl_ ? impl_->warning : kNone;
}

void TIKImage::SetWarning(std::string warning) {
  if (impl_) impl_->warning = std::move(warning);
}

namespace {

const std::vector<double> kWhite = {255.0, 255.0, 255.0};

TIKImage Wrap(VImage image) {
  auto impl = std::make_unique<TIKImage::Impl>();
  impl->image = std::move(image);
  return TIKImage(std::move(impl));
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

// Runs a libvips step; any libvips error becomes a failed image.
template <typename F>
TIKImage Guard(const char* what, F&& step) {
  IKInitialize();
  try {
    return Wrap(step());
  } catch (const VError& e) {
    vips_error_clear();
    // `what` names the file first ("path: cannot decode") where there is one.
    const std::string context = what;
    const std::size_t colon = context.find(": ");
    const std::string path =
        colon != std::string::npos && context.find('/') < colon ? context.substr(0, colon) : "";
    return TIKImage::Failed(context + ": " + IKOwnErrorLines(Trimmed(e.what()), path));
  }
}

std::string DamageWarning(const std::string& path) {
  return path + ": the JPEG data is damaged; the frame may show it";
}

// Decodes a JPEG first refusing any damage its decoder reports; a photo
// that only decodes with damage ignored is made all the same, with a
// warning, so damaged data is never exported in silence. A reduced decode
// reports damage only as it closes, so the warnings this thread hears count
// too. Other formats and a clean JPEG decode once.
template <typename F>
TIKImage DecodeChecked(const std::string& path, bool jpeg, F&& decode) {
  if (!jpeg) return decode(VIPS_FAIL_ON_TRUNCATED);
  int heard = 0;
  gHeardWarnings = &heard;
  TIKImage image = decode(VIPS_FAIL_ON_WARNING);
  bool damaged = image.IsEmpty();
  if (damaged) image = decode(VIPS_FAIL_ON_TRUNCATED);
  gHeardWarnings = nullptr;
  if (!image.IsEmpty() && (damaged || heard > 0)) image.SetWarning(DamageWarning(path));
  return image;
}

const VImage* Source(const TIKImage& image) {
  return image.IsEmpty() ? nullptr : &image.impl()->image;
}

TIKImage NoInput(const TIKImage& image, const char* what) {
  return TIKImage::Failed(std::string(what) + ": " +
                          (image.Error().empty() ? "no image" : image.Error()));
}

// Any decoded image to 8-bit sRGB with three bands, alpha flattened on white.
VImage ToSRGB8(VImage in) {
  const VipsInterpretation kind = vips_image_guess_interpretation(in.get_image());
  const bool cmyk = kind == VIPS_INTERPRETATION_CMYK;
  if (cmyk) {
    in = in.colourspace(VIPS_INTERPRETATION_sRGB);
  }
  if (vips_image_hasalpha(in.get_image())) {
    const double max_alpha = in.format() == VIPS_FORMAT_USHORT ? 65535.0 : 255.0;
    in = in.flatten(VImage::option()
                        ->set("background", std::vector<double>{max_alpha, max_alpha, max_alpha})
                        ->set("max_alpha", max_alpha));
  }
  if (!cmyk && in.interpretation() != VIPS_INTERPRETATION_sRGB) {
    in = in.colourspace(VIPS_INTERPRETATION_sRGB);
  }
  if (in.bands() > 3) in = in.extract_band(0, VImage::option()->set("n", 3));
  if (in.bands() == 2) in = in.extract_band(0);
  if (in.bands() == 1) in = VImage::bandjoin(std::vector<VImage>{in, in, in});
  if (in.format() != VIPS_FORMAT_UCHAR) {
    in = in.format() == VIPS_FORMAT_USHORT ? (in >> 8).cast(VIPS_FORMAT_UCHAR)
                                           : in.cast(VIPS_FORMAT_UCHAR);
  }
  return in;
}

// Crops or pads (with white) to exactly width x height.
VImage ExactSize(VImage in, int width, int height) {
  if (in.width() == width && in.height() == height) return in;
  return in.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_WHITE));
}

// Materialises a pipeline so later steps do not re-read the file.
VImage InMemory(VImage in) {
  return in.copy_memory();
}

// An 8-bit sRGB image copied from packed RGB bytes.
VImage FromMemory(const std::uint8_t* rgb, std::size_t size, int width, int height) {
  VipsImage* copy = vips_image_new_from_memory_copy(rgb, size, width, height, 3, VIPS_FORMAT_UCHAR);
  if (!copy) throw VError();
  return VImage(copy).copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Only the formats the program takes are decoded, told by their first
// bytes. libvips picks its loader by content too, and its ImageMagick
// fallback would also parse formats that are not images at all; this check
// keeps everything else away from it (and is cheaper than asking libvips).
bool AllowedLoader(const std::string& path, std::string* error, bool* isJpeg = nullptr) {
  auto fail = [&](const char* why) {
    if (error) *error = path + ": " + why;
    return false;
  };
  // libvips reads "name[options]" as options for the loader; such a name is
  // never one of our image files.
  if (!path.empty() && path.back() == ']') return fail("not an image file name");
  unsigned char m[12] = {};
  std::size_t n = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    n = std::fread(m, 1, sizeof m, f);
    std::fclose(f);
  } else {
    return fail("cannot open the file");
  }
  const bool jpeg = n >= 3 && m[0] == 0xFF && m[1] == 0xD8 && m[2] == 0xFF;
  const bool png = n >= 8 && std::memcmp(m, "\x89PNG\r\n\x1A\n", 8) == 0;
  const bool gif = n >= 4 && std::memcmp(m, "GIF8", 4) == 0;
  const bool tiff = n >= 4 && (std::memcmp(m, "II*\0", 4) == 0 || std::memcmp(m, "MM\0*", 4) == 0);
  const bool bmp = n >= 2 && m[0] == 'B' && m[1] == 'M';
  const bool webp = n >= 12 && std::memcmp(m, "RIFF", 4) == 0 && std::memcmp(m + 8, "WEBP", 4) == 0;
  // HEIC and AVIF: an ISO media file whose first box names a still-image brand.
  bool heif = false;
  if (n >= 12 && std::memcmp(m + 4, "ftyp", 4) == 0) {
    for (const char* brand :
         {"heic", "heix", "heim", "heis", "hevc", "mif1", "msf1", "avif", "avis"})
      heif = heif || std::memcmp(m + 8, brand, 4) == 0;
  }
  if (isJpeg) *isJpeg = jpeg;
  if (jpeg || png || gif || tiff || bmp || webp || heif) return true;
  return fail(n == 0 ? "empty file, not a readable image"
                     : "not a readable image (not JPEG, PNG, TIFF, GIF, BMP, WebP, HEIC or AVIF)");
}

std::string CheckSize(const std::string& path, const TIKFileInfo& header) {
  if (header.width <= 0 || header.height <= 0) return path + ": image has no pixels";
  if (static_cast<long long>(header.width) * header.height > kIKMaxPixels) {
    return path + ": image too large (" + std::to_string(header.width) + "x" +
           std::to_string(header.height) + " pixels)";
  }
  return {};
}

}  // namespace

void IKInitialize() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (VIPS_INIT("kalvane") != 0) vips_error_exit("cannot start libvips");
    // Frame buffers of megabytes come and go for every photo. By default
    // the allocator maps each one afresh and gives the heap's top back at
    // once, so the kernel zeroes new pages for every frame (a tenth of a
    // video export). Kept in the heap up to 16 MB, with 128 MB of slack
    // before it is given back, they are reused.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    // The operation cache would hand back stale pixels for a file that was
    // rewritten on disk (frames, re-exported photos); nothing here repeats
    // work that the cache would save.
    vips_cache_set_max(0);
    vips_cache_set_max_mem(0);
    // Decoding problems come back to the caller as errors; libvips' own
    // warnings on stderr would only repeat them. A decode that listens
    // hears the warnings its own thread gives.
    g_log_set_handler(
        "VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
        [](const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
          if (gHeardWarnings && message && std::strncmp(message, "read gave ", 10) == 0)
            ++*gHeardWarnings;
        },
        nullptr);
  });
}

void IKShutdown() {
  vips_shutdown();
}

void IKSetConcurrency(int threads) {
  IKInitialize();
  vips_concurrency_set(std::max(threads, 1));
}

namespace {

// What the file's header says, read once.
struct THeader {
  TIKFileInfo Stored;   // as the pixels are stored
  int Orientation = 1;  // the camera's orientation tag, 1 when none
  bool Jpeg = false;
  // Photos are shown upright as the tag says, so this is the size shown.
  TIKFileInfo Upright() const {
    return Orientation >= 5 && Orientation <= 8 ? TIKFileInfo{Stored.height, Stored.width} : Stored;
  }
};

std::optional<THeader> ReadHeader(const std::string& path, std::string* error) {
  IKInitialize();
  THeader h;
  if (!AllowedLoader(path, error, &h.Jpeg)) return std::nullopt;
  try {
    VImage header = VImage::new_from_file(path.c_str(),
                                          VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
    h.Stored = {header.width(), header.height()};
    if (vips_image_get_typeof(header.get_image(), VIPS_META_ORIENTATION) != 0 &&
        vips_image_get_int(header.get_image(), VIPS_META_ORIENTATION, &h.Orientation) != 0) {
      h.Orientation = 1;
    }
    return h;
  } catch (const VError& e) {
    vips_error_clear();
    if (error) *error = path + ": not a readable image (" + Trimmed(e.what()) + ")";
    return std::nullopt;
  }
}

}  // namespace

std::optional<TIKFileInfo> IKFileType(const std::string& path, std::string* error) {
  const auto header = ReadHeader(path, error);
  if (!header) return std::nullopt;
  // Refused here as the decoders refuse it: a load that reads only headers
  // must not take a size that no frame can be made from.
  if (std::string refused = CheckSize(path, header->Stored); !refused.empty()) {
    if (error) *error = std::move(refused);
    return std::nullopt;
  }
  return header->Upright();
}

TIKImage IKFileLoad(const std::string& path) {
  IKInitialize();
  std::string error;
  const auto header = ReadHeader(path, &error);
  if (!header) return TIKImage::Failed(error);
  if (error = CheckSize(path, header->Stored); !error.empty()) return TIKImage::Failed(error);
  return DecodeChecked(path, header->Jpeg, [&](VipsFailOn failOn) {
    return Guard((path + ": cannot decode").c_str(), [&] {
      VImage in = VImage::new_from_file(path.c_str(), VImage::option()->set("fail_on", failOn));
      return InMemory(ToSRGB8(in.autorot()));
    });
  });
}

TIKImage IKFileLoadScaled(const std::string& path, int width, int height) {
  IKInitialize();
  std::string error;
  const auto header = IKFileType(path, &error);
  if (!header) return TIKImage::Failed(error);
  return IKFileLoadScaled(path, *header, width, height);
}

std::unique_lock<std::mutex> IKBuildingVectorCode() {
  static std::mutex building;
  return std::unique_lock<std::mutex>(building);
}

TIKImage IKFileLoadScaled(const std::string& path, const TIKFileInfo& header, int width,
                          int height) {
  IKInitialize();
  if (width <= 0 || height <= 0) return TIKImage::Failed(path + ": empty target size");
  if (std::string error = CheckSize(path, header); !error.empty()) return TIKImage::Failed(error);
  return Guard((path + ": cannot decode").c_str(), [&] {
    VImage thumb;
    {
      const auto building = IKBuildingVectorCode();
      thumb = VImage::thumbnail(path.c_str(), width,
                                VImage::option()
                                    ->set("height", height)
                                    ->set("size", VIPS_SIZE_FORCE)
                                    ->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
    }
    return InMemory(ExactSize(ToSRGB8(thumb), width, height));
  });
}

namespace {

// The largest shrink-on-load that still decodes at least width x height:
// the filtered reduction after it makes the display copy.
int LoadShrink(const TIKFileInfo& header, int width, int height) {
  const double shrink = std::min(static_cast<double>(header.width) / width,
                                 static_cast<double>(header.height) / height);
  return shrink >= 8 ? 8 : shrink >= 4 ? 4 : shrink >= 2 ? 2 : 1;
}

// The luma of a decoded 8-bit image as a JPEG stores it (the weights its
// colour conversion uses), averaged over `factor` x `factor` blocks
// (a power of two).
std::optional<TIKGrey> ReducedLuma(const VImage& in, int factor) {
  const bool rgb = in.bands() == 3 && in.interpretation() == VIPS_INTERPRETATION_sRGB;
  if (in.format() != VIPS_FORMAT_UCHAR || !(rgb || in.bands() == 1)) return std::nullopt;
  const int w = in.width(), h = in.height(), bands = in.bands();
  const auto* data = static_cast<const std::uint8_t*>(in.data());
  TIKGrey grey;
  grey.Width = (w + factor - 1) / factor;
  grey.Height = (h + factor - 1) / factor;
  grey.Pixels.resize(static_cast<std::size_t>(grey.Width) * grey.Height);
  std::vector<std::uint32_t> sums(static_cast<std::size_t>(grey.Width));
  const int bits = std::countr_zero(static_cast<unsigned>(factor));
  for (int y0 = 0; y0 < h; y0 += factor) {
    std::fill(sums.begin(), sums.end(), 0);
    const int rows = std::min(factor, h - y0);
    for (int y = y0; y < y0 + rows; ++y) {
      const std::uint8_t* p = data + static_cast<std::size_t>(y) * w * bands;
      for (int x = 0; x < w; ++x, p += bands) {
        const std::uint32_t luma =
            rgb ? (19595u * p[0] + 38470u * p[1] + 7471u * p[2] + 32768u) >> 16 : p[0];
        sums[static_cast<std::size_t>(x >> bits)] += luma;
      }
    }
    std::uint8_t* out = grey.Pixels.data() + static_cast<std::size_t>(y0 / factor) * grey.Width;
    for (int gx = 0; gx < grey.Width; ++gx) {
      const std::uint32_t n = static_cast<std::uint32_t>(rows * std::min(factor, w - gx * factor));
      out[gx] = static_cast<std::uint8_t>((sums[static_cast<std::size_t>(gx)] + n / 2) / n);
    }
  }
  return grey;
}

}  // namespace

TIKImage IKFileLoadScaled(const std::string& path, const TIKFileInfo& header, int width, int height,
                          int reducedShrink, std::optional<TIKReducedGrey>* reduced) {
  IKInitialize();
  if (reduced) reduced->reset();
  bool jpeg = false;
  const int rs = reducedShrink;
  if (!reduced || (rs != 1 && rs != 2 && rs != 4 && rs != 8) || width <= 0 || height <= 0 ||
      !AllowedLoader(path, nullptr, &jpeg) || !jpeg || !CheckSize(path, header).empty()) {
    return IKFileLoadScaled(path, header, width, height);
  }
  // One decode serves both: Huffman decoding costs the same at any scale,
  // and the alignment would otherwise decode every photo again.
  const int shrink = std::min(LoadShrink(header, width, height), rs);
  return Guard((path + ": cannot decode").c_str(), [&] {
    const VImage in = InMemory(VImage::new_from_file(
        path.c_str(),
        VImage::option()->set("shrink", shrink)->set("fail_on", VIPS_FAIL_ON_TRUNCATED)));
    int orientation = 1;
    if (vips_image_get_typeof(in.get_image(), VIPS_META_ORIENTATION) != 0 &&
        vips_image_get_int(in.get_image(), VIPS_META_ORIENTATION, &orientation) != 0) {
      orientation = 1;
    }
    if (orientation == 1) {
      if (auto grey = ReducedLuma(in, rs / shrink))
        *reduced = TIKReducedGrey{std::move(*grey), rs, header};
    }
    VImage thumb;
    {
      const auto building = IKBuildingVectorCode();
      thumb = in.thumbnail_image(
          width, VImage::option()->set("height", height)->set("size", VIPS_SIZE_FORCE));
    }
    return InMemory(ExactSize(ToSRGB8(thumb), width, height));
  });
}

namespace {

// The rectangle of the photo turned by q quarter turns to the left, in the
// unturned photo of size w x h.
template <typename TRect>
TRect UnturnedRect(TRect r, int q, int w, int h) {
  switch (q) {
    case 1:
      return {w - r.bottom, r.left, w - r.top, r.right};
    case 2:
      return {w - r.right, h - r.bottom, w - r.left, h - r.top};
    case 3:
      return {r.top, h - r.right, r.bottom, h - r.left};
    default:
      return r;
  }
}

// One axis of a cut: the rectangle's edges in the decoded image's pixels
// (they may fall between pixels) and the frame's pixels along it.
struct TCutAxis {
  double From = 0, To = 0;
  int Out = 0;
  double Scale() const { return Out / std::max(To - From, 1e-9); }
};

// The decoded pixels one cut needs: [X0, X0 + W) x [Y0, Y0 + H), with a
// margin for the resampling's reach; reductions beyond eight times are
// first averaged over whole blocks, which is cheap, leaving blocks of at
// most a quarter of a frame pixel so lines do not snap to them.
struct TCutWindow {
  int X0 = 0, Y0 = 0, W = 0, H = 0;
  int Block = 1;
};

TCutWindow PlanCut(const TCutAxis& ax, const TCutAxis& ay) {
  TCutWindow c;
  const double least = std::min(ax.Scale(), ay.Scale());
  c.Block = least < 0.125 ? static_cast<int>(0.25 / least) : 1;
  const double reach =
      std::max(ResampleReach(ax.Scale() * c.Block), ResampleReach(ay.Scale() * c.Block));
  const int pad = (static_cast<int>(std::ceil(reach)) + 1) * c.Block;
  c.X0 = static_cast<int>(std::floor(ax.From)) - pad;
  c.Y0 = static_cast<int>(std::floor(ay.From)) - pad;
  auto whole = [&c](long long n) {
    return static_cast<int>((n + c.Block - 1) / c.Block * c.Block);
  };
  c.W = whole(static_cast<long long>(std::ceil(ax.To)) + pad - c.X0);
  c.H = whole(static_cast<long long>(std::ceil(ay.To)) + pad - c.Y0);
  return c;
}

// The cut scaled to exactly ax.Out x ay.Out pixels from `in`, which holds
// the decoded image's pixels from (left, top) on, and white outside the
// image. The edges' fractions are kept, so a frame moves by exactly its
// offset's share (see ResampleRgb).
VImage ScaleCut(const VImage& in, int left, int top, const TCutAxis& ax, const TCutAxis& ay) {
  const TCutWindow c = PlanCut(ax, ay);
  VImage cut = in.embed(left - c.X0, top - c.Y0, c.W, c.H,
                        VImage::option()->set("extend", VIPS_EXTEND_WHITE));
  if (c.Block > 1) cut = cut.shrink(c.Block, c.Block);
  cut = cut.copy_memory();
  const std::vector<std::uint8_t> out =
      ResampleRgb(static_cast<const std::uint8_t*>(cut.data()), cut.width(), cut.height(),
                  {(ax.From - c.X0) / c.Block, ax.Scale() * c.Block, ax.Out},
                  {(ay.From - c.Y0) / c.Block, ay.Scale() * c.Block, ay.Out});
  return FromMemory(out.data(), out.size(), ax.Out, ay.Out);
}

VImage QuarterTurned(const VImage& scaled, int q) {
  switch (q) {
    case 1:
      return InMemory(scaled.rot(VIPS_ANGLE_D270));
    case 2:
      return InMemory(scaled.rot(VIPS_ANGLE_D180));
    case 3:
      return InMemory(scaled.rot(VIPS_ANGLE_D90));
    default:
      return scaled;
  }
}

}  // namespace

TIKImage IKTrimFrame(const std::string& path, int angle, TIKRect rect, int width, int height) {
  auto real = [](int v) { return static_cast<double>(v); };
  return IKTrimFrameFine(path, angle,
                         {real(rect.left), real(rect.top), real(rect.right), real(rect.bottom)},
                         width, height);
}

TIKImage IKTrimFrameFine(const std::string& path, int angle, TIKRectF rect, int width, int height) {
  IKInitialize();
  if (width <= 0 || height <= 0) return TIKImage::Failed(path + ": empty frame size");
  if (!(rect.right > rect.left) || !(rect.bottom > rect.top)) {
    return TIKImage::Failed(path + ": empty trimming rectangle");
  }
  // A rectangle wholly beyond any photo's side is all white wherever it
  // lies; moved nearer, its edges stay in the range the cut's integer
  // windows work in.
  constexpr double kFar = 1 << 29;
  auto nearer = [](double& from, double& to) {
    const double shift = from > kFar ? kFar - from : to < -kFar ? -kFar - to : 0.0;
    from += shift;
    to += shift;
  };
  nearer(rect.left, rect.right);
  nearer(rect.top, rect.bottom);
  if (rect.right - rect.left > kFar || rect.bottom - rect.top > kFar) {
    return TIKImage::Failed(path + ": trimming rectangle too large");
  }
  const bool whole = rect.left == std::floor(rect.left) && rect.top == std::floor(rect.top) &&
                     rect.right == std::floor(rect.right) && rect.bottom == std::floor(rect.bottom);
  std::string error;
  const auto read = ReadHeader(path, &error);
  if (!read) return TIKImage::Failed(error);
  const TIKFileInfo* header = &read->Stored;
  if (error = CheckSize(path, *header); !error.empty()) return TIKImage::Failed(error);
  const int turn = ((angle % 36000) + 36000) % 36000;
  if (turn % 9000 != 0 || read->Orientation != 1) {
    // The general way: whole photo, turned, cut, scaled.
    const TIKImage photo = IKFileLoad(path);
    const TIKImage turned = IKRotationEx(photo, angle);
    TIKImage frame;
    if (whole) {
      frame = IKResizeEx(
          IKCutRectImage(turned, {static_cast<int>(rect.left), static_cast<int>(rect.top),
                                  static_cast<int>(rect.right), static_cast<int>(rect.bottom)}),
          width, height);
    } else if (const VImage* in = Source(turned)) {
      const long long cw = static_cast<long long>(std::ceil(rect.right - rect.left)) + 1;
      const long long ch = static_cast<long long>(std::ceil(rect.bottom - rect.top)) + 1;
      if (cw * ch > kIKMaxPixels) return TIKImage::Failed(path + ": trimming rectangle too large");
      frame = Guard((path + ": cannot make the frame").c_str(), [&] {
        return ScaleCut(*in, 0, 0, {rect.left, rect.right, width}, {rect.top, rect.bottom, height});
      });
    } else {
      frame = TIKImage::Failed(turned.Error());
    }
    frame.SetWarning(photo.Warning());
    return frame;
  }
  const int q = turn / 9000;
  const TIKRectF source = UnturnedRect(rect, q, header->width, header->height);
  const auto cw = static_cast<long long>(std::ceil(source.right - source.left));
  const auto ch = static_cast<long long>(std::ceil(source.bottom - source.top));
  if (cw * ch > kIKMaxPixels) return TIKImage::Failed(path + ": trimming rectangle too large");
  // Before the turn the frame is height x width for odd quarter turns.
  const int ow = q % 2 ? height : width, oh = q % 2 ? width : height;
  int shrink = 1;
  if (read->Jpeg) {
    for (int n : {8, 4, 2}) {
      if (cw >= static_cast<long long>(ow) * n && ch >= static_cast<long long>(oh) * n) {
        shrink = n;
        break;
      }
    }
  }
  // A reduced decode's pixel k is the mean of the photo's pixels
  // [k * shrink, (k + 1) * shrink).
  const double f = 1.0 / shrink;
  const TCutAxis ax{source.left * f, source.right * f, ow},
      ay{source.top * f, source.bottom * f, oh};
  const std::string what = path + ": cannot make the frame";
  if (read->Jpeg) {
    // Only the part of the photo the frame shows is made into pixels, but
    // all of its data is read, so damage anywhere in it is found.
    const TCutWindow c = PlanCut(ax, ay);
    TJpegRegion region = DecodeJpegRegion(path, shrink, c.X0, c.Y0, c.X0 + c.W, c.Y0 + c.H);
    if (!region.Unsupported) {
      if (!region.Error.empty()) return TIKImage::Failed(what + ": " + region.Error);
      TIKImage frame = Guard(what.c_str(), [&] {
        const VImage pixels = region.Width > 0
                                  ? FromMemory(region.Pixels.data(), region.Pixels.size(),
                                               region.Width, region.Height)
                                  : VImage::black(1, 1, VImage::option()->set("bands", 3)) + 255;
        // An empty region lies outside the photo: all of the cut is white.
        const int left = region.Width > 0 ? region.Left : c.X0 - 2;
        return QuarterTurned(ScaleCut(pixels.cast(VIPS_FORMAT_UCHAR), left, region.Top, ax, ay), q);
      });
      if (!region.Warning.empty()) frame.SetWarning(DamageWarning(path));
      return frame;
    }
  }
  return DecodeChecked(path, read->Jpeg, [&](VipsFailOn failOn) {
    return Guard(what.c_str(), [&] {
      auto options =
          VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", failOn);
      if (shrink > 1) options->set("shrink", shrink);
      VImage in = ToSRGB8(VImage::new_from_file(path.c_str(), options));
      // A JPEG is decoded to its end even when the cut ends higher up:
      // damage in the rest of its data is only found there.
      if (read->Jpeg) in = InMemory(in);
      return QuarterTurned(ScaleCut(in, 0, 0, ax, ay), q);
    });
  });
}

namespace {

// A grey cut: the turn and the rectangle it takes from the unturned,
// reduced image. Nothing when it cannot be made that way.
struct TGreyCutPlan {
  int Q = 0;
  TIKRect Source;
};

std::optional<TGreyCutPlan> PlanGreyCut(TIKFileInfo stored, int angle, int shrink, TIKRect rect) {
  const int turn = ((angle % 36000) + 36000) % 36000;
  if (turn % 9000 != 0 || shrink < 1 || rect.right <= rect.left || rect.bottom <= rect.top) {
    return std::nullopt;
  }
  const long long cw = static_cast<long long>(rect.right) - rect.left;
  const long long ch = static_cast<long long>(rect.bottom) - rect.top;
  if (cw * ch > kIKMaxPixels) return std::nullopt;
  const int q = turn / 9000;
  const int w = stored.width, h = stored.height;
  // Turned, the far side becomes the near one: a reduced decode's last
  // pixel is then a whole one only where the shrink divides the side.
  if (((q == 1 || q == 2) && w % shrink != 0) || ((q == 2 || q == 3) && h % shrink != 0)) {
    return std::nullopt;
  }
  const int rw = (w + shrink - 1) / shrink, rh = (h + shrink - 1) / shrink;
  return TGreyCutPlan{q, UnturnedRect(rect, q, rw, rh)};
}

// The planned cut, white outside the photo, from the rows of the reduced
// image that lie inside it: `width` x `height` pixels at (left, top),
// `stride` bytes a row.
TIKGrey TurnedGreyCut(const TGreyCutPlan& plan, const std::uint8_t* pixels, std::size_t stride,
                      int left, int top, int width, int height) {
  const TIKRect& source = plan.Source;
  const int q = plan.Q;
  const int sw = source.right - source.left, sh = source.bottom - source.top;
  std::vector<std::uint8_t> cut(static_cast<std::size_t>(sw) * sh, 255);
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels + static_cast<std::size_t>(y) * stride, width,
                cut.begin() + static_cast<std::ptrdiff_t>(top - source.top + y) * sw +
                    (left - source.left));
  }
  TIKGrey grey;
  grey.Width = q % 2 ? sh : sw;
  grey.Height = q % 2 ? sw : sh;
  if (q == 0) {
    grey.Pixels = std::move(cut);
    return grey;
  }
  grey.Pixels.resize(cut.size());
  // Turned to the left q times: each pixel (x, y) of the turned cut comes
  // from the one the unturned cut has there.
  for (int y = 0; y < grey.Height; ++y) {
    std::uint8_t* out = grey.Pixels.data() + static_cast<std::size_t>(y) * grey.Width;
    for (int x = 0; x < grey.Width; ++x) {
      const int ux = q == 1 ? sw - 1 - y : q == 2 ? sw - 1 - x : y;
      const int uy = q == 1 ? x : q == 2 ? sh - 1 - y : sh - 1 - x;
      out[x] = cut[static_cast<std::size_t>(uy) * sw + ux];
    }
  }
  return grey;
}

}  // namespace

std::optional<TIKGrey> IKGreyCut(const std::string& path, int angle, int shrink, TIKRect rect) {
  IKInitialize();
  const auto read = ReadHeader(path, nullptr);
  if (!read || !read->Jpeg || read->Orientation != 1 || !CheckSize(path, read->Stored).empty()) {
    return std::nullopt;
  }
  const auto plan = PlanGreyCut(read->Stored, angle, shrink, rect);
  if (!plan) return std::nullopt;
  const TIKRect& source = plan->Source;
  const TJpegRegion region = DecodeJpegRegion(path, shrink, source.left, source.top, source.right,
                                              source.bottom, {.Grey = true, .ToEnd = false});
  if (region.Unsupported || !region.Error.empty()) return std::nullopt;
  return TurnedGreyCut(*plan, region.Pixels.data(), static_cast<std::size_t>(region.Width),
                       region.Left, region.Top, region.Width, region.Height);
}

std::optional<TIKGrey> IKGreyCut(const TIKReducedGrey& reduced, int angle, int shrink,
                                 TIKRect rect) {
  const TIKGrey& grey = reduced.Grey;
  if (reduced.Shrink != shrink || grey.Pixels.empty()) return std::nullopt;
  const auto plan = PlanGreyCut(reduced.Stored, angle, shrink, rect);
  if (!plan) return std::nullopt;
  const TIKRect& source = plan->Source;
  const int left = std::clamp(source.left, 0, grey.Width);
  const int right = std::clamp(source.right, left, grey.Width);
  const int top = std::clamp(source.top, 0, grey.Height);
  const int bottom = std::clamp(source.bottom, top, grey.Height);
  const std::size_t stride = static_cast<std::size_t>(grey.Width);
  return TurnedGreyCut(*plan, grey.Pixels.data() + top * stride + left, stride, left, top,
                       right - left, bottom - top);
}

TIKFileInfo IKGetImageType(const TIKImage& image) {
  return {image.Width(), image.Height()};
}

TIKImage IKResizeEx(const TIKImage& image, int width, int height) {
  const VImage* in = Source(image);
  if (!in) return NoInput(image, "resize");
  if (width <= 0 || height <= 0) return TIKImage::Failed("resize: empty target size");
  return Guard("resize", [&] {
    const double h = static_cast<double>(width) / in->width();
    const double v = static_cast<double>(height) / in->height();
    VImage out = in->resize(h, VImage::option()->set("vscale", v));
    return InMemory(ExactSize(out, width, height));
  });
}

TIKImage IKRotationEx(const TIKImage& image, int angle) {
  const VImage* in = Source(image);
  if (!in) return NoInput(image, "rotate");
  return Guard("rotate", [&] {
    const int turn = ((angle % 36000) + 36000) % 36000;
    // libvips' rot turns clockwise; ours turn counter-clockwise.
    switch (turn) {
      case 0:
        return in->copy();
      case 9000:
        return InMemory(in->rot(VIPS_ANGLE_D270));
      case 18000:
        return InMemory(in->rot(VIPS_ANGLE_D180));
      case 27000:
        return InMemory(in->rot(VIPS_ANGLE_D90));
      default:
        break;
    }
    // libvips' rotate also turns clockwise for positive angles.
    VImage out = in->rotate(-turn / 100.0, VImage::option()->set("background", kWhite));
    return InMemory(out.cast(VIPS_FORMAT_UCHAR));
  });
}

TIKFileInfo IKRotatedSize(int width, int height, int angle) {
  const int turn = ((angle % 36000) + 36000) % 36000;
  if (turn % 9000 == 0)
    return turn % 18000 ? TIKFileInfo{height, width} : TIKFileInfo{width, height};
  // The same operation on a blank image of that size: libvips works out
  // the size without computing a pixel.
  IKInitialize();
  try {
    const VImage out = VImage::black(width, height).rotate(-turn / 100.0);
    return {out.width(), out.height()};
  } catch (const VError&) {
    vips_error_clear();
    return {width, height};
  }
}

TIKImage IKCutRectImage(const TIKImage& image, TIKRect rect) {
  const VImage* in = Source(image);
  if (!in) return NoInput(image, "cut");
  const long long w = static_cast<long long>(rect.right) - rect.left;
  const long long h = static_cast<long long>(rect.bottom) - rect.top;
  if (w <= 0 || h <= 0 || w * h > kIKMaxPixels) {
    return TIKImage::Failed("cut: rectangle " + std::to_string(w) + "x" + std::to_string(h) +
                            " is empty or too large");
  }
  return Guard("cut", [&] {
    return InMemory(in->embed(-rect.left, -rect.top, static_cast<int>(w), static_cast<int>(h),
                              VImage::option()->set("extend", VIPS_EXTEND_WHITE)));
  });
}

TIKImage IKSetGray(const TIKImage& image) {
  const VImage* in = Source(image);
  if (!in) return NoInput(image, "greyscale");
  return Guard("greyscale", [&] {
    const VImage mem = in->copy_memory();
    const auto* src = static_cast<const std::uint8_t*>(mem.data());
    const std::size_t pixels = static_cast<std::size_t>(mem.width()) * mem.height();
    std::vector<std::uint8_t> grey(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
      grey[3 * i] = grey[3 * i + 1] = grey[3 * i + 2] =
          IKLuma(src[3 * i], src[3 * i + 1], src[3 * i + 2]);
    }
    return FromMemory(grey.data(), grey.size(), mem.width(), mem.height());
  });
}

TBitmap24 IKSetGray(const TBitmap24& bitmap) {
  TBitmap24 out(bitmap.Width(), bitmap.Height());
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* s = bitmap.Row(y);
    std::uint8_t* d = out.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x, s += 3, d += 3)
      d[0] = d[1] = d[2] = IKLuma(s[2], s[1], s[0]);
  }
  return out;
}

TResult IKJpegFileSave(const std::string& path, const TIKImage& image, int quality) {
  const VImage* in = Source(image);
  IKInitialize();
  if (!in) return TResult::Fail(TErrorCode::Unreadable, path + ": no image to save");
  try {
    in->jpegsave(path.c_str(), VImage::option()
                                   ->set("Q", std::clamp(quality, 1, 100))
                                   ->set("interlace", false)
                                   ->set("strip", true));
    return {};
  } catch (const VError& e) {
    vips_error_clear();
    return TResult::Fail(TErrorCode::WriteFailed,
                         path + ": cannot write JPEG (" + Trimmed(e.what()) + ")");
  }
}

TIKImage IKDibFromBitmap(const TBitmap24& bitmap) {
  if (bitmap.IsEmpty()) return TIKImage::Failed("bitmap is empty");
  const int w = bitmap.Width(), h = bitmap.Height();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = bitmap.Row(y);
    std::uint8_t* d = rgb.data() + static_cast<std::size_t>(y) * w * 3;
    for (int x = 0; x < w; ++x, s += 3, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  }
  return Guard("bitmap", [&] { return FromMemory(rgb.data(), rgb.size(), w, h); });
}

TBitmap24 IKBitmapFromDib(const TIKImage& image) {
  const VImage* in = Source(image);
  if (!in) return {};
  IKInitialize();
  TBitmap24 out;
  try {
    // Images here are almost always in memory already; then this reads
    // their pixels in place instead of running another pipeline.
    const VImage mem = in->copy_memory();
    const int w = mem.width(), h = mem.height();
    if (mem.bands() != 3 || mem.format() != VIPS_FORMAT_UCHAR) return {};
    const auto* src = static_cast<const std::uint8_t*>(mem.data());
    out.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
      std::uint8_t* d = out.Row(y);
      const std::uint8_t* s = src + static_cast<std::size_t>(y) * w * 3;
      for (int x = 0; x < w; ++x, s += 3, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
    }
  } catch (const VError&) {
    vips_error_clear();
    return {};
  }
  return out;
}

void IKImageOut(TBitmap24& target, const TIKImage& image, TIKRect rect) {
  const int rw = rect.right - rect.left, rh = rect.bottom - rect.top;
  if (image.IsEmpty() || rw <= 0 || rh <= 0) return;
  const double k =
      std::min(static_cast<double>(rw) / image.Width(), static_cast<double>(rh) / image.Height());
  const int w = std::clamp(RoundInt(image.Width() * k), 1, rw);
  const int h = std::clamp(RoundInt(image.Height() * k), 1, rh);
  const TBitmap24 fitted = IKBitmapFromDib(IKResizeEx(image, w, h));
  target.Draw(fitted, rect.left + (rw - w) / 2, rect.top + (rh - h) / 2);
}

double GetFitScale(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return -1.0;
  const auto info = IKFileType(path);
  if (!info || info->width <= 0 || info->height <= 0) return -1.0;
  const double scale = std::min(600.0 / info->width, 600.0 / info->height);
  return scale > 1.0 ? 1.0 : scale;
}

}  // namespace kalvane
