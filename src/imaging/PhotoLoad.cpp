#include "imaging/PhotoLoad.h"

#include <libraw/libraw.h>
#include <libraw/libraw_internal.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <utility>
#include <vips/vips8>

#include "imaging/ImageKit.h"

namespace kalvane {

namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

bool OneOf(const std::string& ext, std::initializer_list<const char*> list) {
  return std::any_of(list.begin(), list.end(), [&](const char* e) { return ext == e; });
}

TPrepResult Unreadable(const std::string& path, const std::string& why,
                       TPrepFault fault = TPrepFault::NotAnImage) {
  return TPrepResult::Fail(TErrorCode::Unreadable, fault, path, path + ": " + why);
}

TPrepResult TooLarge(const std::string& path) {
  return Unreadable(path, "image too large (more than " + std::to_string(kIKMaxPixels) + " pixels)",
                    TPrepFault::TooLarge);
}

// libvips keeps one error text for all threads and adds to it; what one
// photo's load left there would be shown under the next. Its words are not
// ours either: the reason is said in our own.
void ForgetVipsError() {
  vips_error_clear();
}

// The largest shrink of `choices` that keeps the longest side at least `atLeast`.
int ShrinkFor(int longest, int atLeast, std::initializer_list<int> choices) {
  if (atLeast <= 0) return 1;
  for (const int shrink : choices) {
    if (longest / shrink >= atLeast) return shrink;
  }
  return 1;
}

std::string Blob(const vips::VImage& image, const char* name) {
  if (vips_image_get_typeof(image.get_image(), name) == 0) return {};
  std::size_t length = 0;
  const void* data = image.get_blob(name, &length);
  return std::string(static_cast<const char*>(data), length);
}

// A file that decodes when its end may be missing was cut off.
bool CutOff(const std::string& path) {
  try {
    vips::VImage::new_from_file(path.c_str(), vips::VImage::option()
                                                  ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                                  ->set("fail_on", VIPS_FAIL_ON_NONE))
        .avg();
    return true;
  } catch (const vips::VError&) {
    ForgetVipsError();
    return false;
  }
}

// How a file is read at `atLeast`: what its decoder reduces as it reads
// (JPEG by 1/2, 1/4 or 1/8, WebP by any factor), what a pipeline reduces
// after it without holding the whole (the others, by whole steps), and the
// bytes the decoder's pixels take.
struct TVipsRead {
  const char* Loader = nullptr;
  int Width = 0, Height = 0;  // as stored
  int JpegShrink = 1;
  double WebpScale = 1;
  int DecodedWidth = 0, DecodedHeight = 0;
  int Shrink = 1;  // then, by whole steps
  int Orientation = 1;
  long long DecodedBytes = 0;

  int ReadWidth() const { return std::max(1, DecodedWidth / Shrink); }
  int ReadHeight() const { return std::max(1, DecodedHeight / Shrink); }
};

// Throws VError for a file libvips cannot open.
std::optional<TVipsRead> PlanVipsRead(const std::string& path, int atLeast) {
  TVipsRead r;
  r.Loader = vips_foreign_find_load(path.c_str());
  if (!r.Loader) return std::nullopt;
  const vips::VImage header = vips::VImage::new_from_file(path.c_str());
  r.Width = header.width();
  r.Height = header.height();
  if (vips_image_get_typeof(header.get_image(), VIPS_META_ORIENTATION) != 0)
    r.Orientation = header.get_int(VIPS_META_ORIENTATION);
  const int longest = std::max(r.Width, r.Height);
  r.DecodedWidth = r.Width;
  r.DecodedHeight = r.Height;
  if (std::strstr(r.Loader, "Jpeg")) {
    r.JpegShrink = ShrinkFor(longest, atLeast, {8, 4, 2});
    r.DecodedWidth = (r.Width + r.JpegShrink - 1) / r.JpegShrink;
    r.DecodedHeight = (r.Height + r.JpegShrink - 1) / r.JpegShrink;
  } else if (std::strstr(r.Loader, "Webp") && atLeast > 0 && atLeast < longest) {
    // A line more than asked, so the decoder's rounding never goes below.
    r.WebpScale = std::min(1.0, (atLeast + 1.0) / longest);
    r.DecodedWidth = std::max(1, static_cast<int>(std::ceil(r.Width * r.WebpScale)));
    r.DecodedHeight = std::max(1, static_cast<int>(std::ceil(r.Height * r.WebpScale)));
  } else {
    r.Shrink = ShrinkFor(longest, atLeast, {8, 4, 2});
  }
  r.DecodedBytes = static_cast<long long>(r.DecodedWidth) * r.DecodedHeight * header.bands() *
                   static_cast<long long>(vips_format_sizeof(header.format()));
  return r;
}

TPrepResult TooLarge(const std::string& path, long long bytes) {
  return Unreadable(path,
                    "image too large: " + std::to_string(bytes >> 20) +
                        " MB decoded, more than the " +
                        std::to_string(kPhotoMaxDecodedBytes >> 20) + " MB a photo may take",
                    TPrepFault::TooLarge);
}

// The finished pixels into our image, a strip at a time, so the whole is
// never held twice; 8-bit levels are widened to 16.
void CopyRows(const vips::VImage& image, bool deep, TRgbImage& out) {
  out.Width = image.width();
  out.Height = image.height();
  out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height * 3);
  std::unique_ptr<VipsRegion, decltype(&g_object_unref)> region(vips_region_new(image.get_image()),
                                                                g_object_unref);
  constexpr int kStrip = 64;
  const std::size_t line = static_cast<std::size_t>(out.Width) * 3;
  for (int top = 0; top < out.Height; top += kStrip) {
    VipsRect rect{0, top, out.Width, std::min(kStrip, out.Height - top)};
    if (vips_region_prepare(region.get(), &rect) != 0) throw vips::VError();
    for (int y = top; y < top + rect.height; ++y) {
      std::uint16_t* to = out.Row(y);
      const VipsPel* from = VIPS_REGION_ADDR(region.get(), 0, y);
      if (deep) {
        std::memcpy(to, from, line * 2);
      } else {
        for (std::size_t i = 0; i < line; ++i)
          to[i] = static_cast<std::uint16_t>(from[i] * 257);
      }
    }
  }
}

TPrepResult LoadWithVips(const std::string& path, int atLeast, TRgbImage& out, TPhotoMeta* meta) {
  try {
    const std::optional<TVipsRead> plan = PlanVipsRead(path, atLeast);
    if (!plan) {
      ForgetVipsError();
      return Unreadable(path, "not a readable image");
    }
    if (static_cast<long long>(plan->Width) * plan->Height > kIKMaxPixels) return TooLarge(path);
    if (plan->DecodedBytes > kPhotoMaxDecodedBytes) return TooLarge(path, plan->DecodedBytes);
    vips::VOption* options = vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL);
    if (plan->JpegShrink > 1) options->set("shrink", plan->JpegShrink);
    if (plan->WebpScale < 1) options->set("scale", plan->WebpScale);
    // A cut-off file is refused; the small faults many cameras' files have
    // are not.
    options->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    vips::VImage image = vips::VImage::new_from_file(path.c_str(), options);
    if (meta) {
      meta->SixteenBit = image.format() != VIPS_FORMAT_UCHAR && image.format() != VIPS_FORMAT_CHAR;
      meta->Exif = Blob(image, VIPS_META_EXIF_NAME);
      meta->Xmp = Blob(image, VIPS_META_XMP_NAME);
      meta->Iptc = Blob(image, VIPS_META_IPTC_NAME);
    }
    // Reduced as it streams past: the whole is never held.
    if (plan->Shrink > 1) image = image.shrink(plan->Shrink, plan->Shrink);
    // Turning needs the whole: held once, at the size read.
    if (plan->Orientation != 1) image = image.copy_memory().autorot();
    const bool deep = image.format() != VIPS_FORMAT_UCHAR && image.format() != VIPS_FORMAT_CHAR;
    if (vips_image_get_typeof(image.get_image(), VIPS_META_ICC_NAME) != 0) {
      try {
        image = image.icc_transform("srgb", vips::VImage::option()
                                                ->set("embedded", true)
                                                ->set("depth", deep ? 16 : 8)
                                                ->set("intent", VIPS_INTENT_PERCEPTUAL));
      } catch (const vips::VError&) {
        // A broken profile: the pixels are taken as sRGB, as a viewer would.
      }
    }
    if (image.has_alpha()) {
      const double white = deep ? kFullScale : 255.0;
      image = image.flatten(vips::VImage::option()->set("background", std::vector<double>{white}));
    }
    image = image.colourspace(deep ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB);
    if (image.bands() > 3) image = image.extract_band(0, vips::VImage::option()->set("n", 3));
    image = image.cast(deep ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR);
    if (image.bands() != 3) return Unreadable(path, "not a colour or grey image");
    CopyRows(image, deep, out);
  } catch (const vips::VError&) {
    ForgetVipsError();
    out = {};
    if (CutOff(path))
      return Unreadable(path, "not a readable image (the file is cut off)", TPrepFault::CutOff);
    return Unreadable(path, "not a readable image");
  }
  return {};
}

// LibRaw reports damage it meets in the data through this call (and by
// default prints it and goes on): counted instead, as a failed decode.
void CountDataError(void* count, const char*, const int) {
  ++*static_cast<int*>(count);
}

// Lossless JPEG data, as most DNGs hold, comes in strips or tiles that each
// begin a JPEG stream. LibRaw stops at the first that does not, without a
// word, and leaves the rest of the picture empty: such data is looked at
// here first, from the places LibRaw found in the header.
bool LosslessDataStarts(LibRaw& raw, const std::string& path) {
  if (std::strcmp(raw.unpack_function_name(), "lossless_dng_load_raw()") != 0) return true;
  const unpacker_data_t& u = raw.get_internal_data_pointer()->unpacker_data;
  std::ifstream in(path, std::ios::binary);
  const auto read = [&](std::uint64_t at, unsigned char* bytes, std::streamsize n) {
    in.seekg(static_cast<std::streamoff>(at));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes), n));
  };
  std::vector<std::uint64_t> starts;
  if (u.tile_length < INT_MAX && u.tile_width > 0 && u.tile_length > 0) {
    // Tiled: the header's list of where each tile starts lies at data_offset.
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    const std::uint64_t tiles = (std::uint64_t{s.raw_width} + u.tile_width - 1) / u.tile_width *
                                ((std::uint64_t{s.raw_height} + u.tile_length - 1) / u.tile_length);
    if (tiles == 0 || tiles > (1u << 20)) return false;
    std::vector<unsigned char> list(tiles * 4);
    if (!read(static_cast<std::uint64_t>(u.data_offset), list.data(),
              static_cast<std::streamsize>(list.size())))
      return false;
    for (std::size_t i = 0; i < list.size(); i += 4) {
      const unsigned char* b = &list[i];
      starts.push_back(u.order == 0x4949
                           ? b[0] | b[1] << 8 | b[2] << 16 | std::uint64_t{b[3]} << 24
                           : std::uint64_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3]);
    }
  } else {
    starts.push_back(static_cast<std::uint64_t>(u.data_offset));
  }
  for (const std::uint64_t at : starts) {
    unsigned char soi[2] = {};
    if (!read(at, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return false;
  }
  return true;
}

// What LibRaw holds for a camera file as its open options stand: the
// sensor's data (2 bytes a pixel, 8 for data already in colour) and the
// picture it makes of it (4 channels of 16 bits, half the sides at half
// size).
long long CameraDecodedBytes(const LibRaw& raw) {
  const libraw_image_sizes_t& s = raw.imgdata.sizes;
  const long long sensor =
      static_cast<long long>(s.raw_width) * s.raw_height * (raw.imgdata.idata.filters ? 2 : 8);
  const int half = raw.imgdata.params.half_size ? 2 : 1;
  return sensor + static_cast<long long>(s.width / half) * (s.height / half) * 8;
}

TPrepResult LoadCameraFile(const std::string& path, int atLeast, TRgbImage& out, TPhotoMeta* meta) {
  auto raw = std::make_unique<LibRaw>();
  int dataErrors = 0;
  raw->set_dataerror_handler(&CountDataError, &dataErrors);
  if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS)
    return Unreadable(path, "not a readable camera file");
  const std::string damaged = "not a readable camera file (its picture data is damaged)";
  if (!LosslessDataStarts(*raw, path)) return Unreadable(path, damaged);
  const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
  if (static_cast<long long>(sizes.width) * sizes.height > kIKMaxPixels) return TooLarge(path);
  libraw_output_params_t& params = raw->imgdata.params;
  params.use_camera_wb = 1;
  params.output_bps = 16;
  params.output_color = 1;  // sRGB
  // Half size skips the demosaic's interpolation: four times less work.
  params.half_size = ShrinkFor(std::max(sizes.width, sizes.height), atLeast, {2}) == 2;
  if (const long long bytes = CameraDecodedBytes(*raw); bytes > kPhotoMaxDecodedBytes)
    return TooLarge(path, bytes);
  params.max_raw_memory_mb = static_cast<unsigned>(kPhotoMaxDecodedBytes >> 20);
  int rc = raw->unpack();
  if (rc == LIBRAW_SUCCESS && dataErrors > 0) return Unreadable(path, damaged);
  if (rc == LIBRAW_SUCCESS) rc = raw->dcraw_process();
  if (rc != LIBRAW_SUCCESS)
    return Unreadable(path,
                      std::string("not a readable camera file (") + libraw_strerror(rc) + ")");
  libraw_processed_image_t* made = raw->dcraw_make_mem_image(&rc);
  if (!made) return Unreadable(path, "not a readable camera file");
  std::unique_ptr<libraw_processed_image_t, void (*)(libraw_processed_image_t*)> image(
      made, [](libraw_processed_image_t* p) { LibRaw::dcraw_clear_mem(p); });
  if (image->type != LIBRAW_IMAGE_BITMAP || image->colors != 3 || image->bits != 16 ||
      image->data_size < static_cast<unsigned>(image->width) * image->height * 6)
    return Unreadable(path, "not a colour camera file");
  out.Width = image->width;
  out.Height = image->height;
  out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height * 3);
  std::memcpy(out.Pixels.data(), image->data, out.Pixels.size() * 2);
  if (meta) *meta = TPhotoMeta{true, {}, {}, {}};
  return {};
}

}  // namespace

bool IsCameraFile(const std::string& path) {
  return OneOf(LowerExtension(path), {".cr2", ".cr3", ".nef", ".arw", ".raf", ".dng"});
}

bool IsPhotoFile(const std::string& path) {
  return IsCameraFile(path) ||
         OneOf(LowerExtension(path),
               {".jpg", ".jpeg", ".png", ".tif", ".tiff", ".webp", ".heic", ".heif", ".avif"});
}

TPrepResult LoadPhoto(const std::string& path, int atLeast, TRgbImage& image, TPhotoMeta* meta) {
  IKInitialize();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    return TPrepResult::Fail(TErrorCode::NotFound, TPrepFault::Missing, path,
                             path + ": no such file");
  image = {};
  if (IsCameraFile(path)) return LoadCameraFile(path, atLeast, image, meta);
  return LoadWithVips(path, atLeast, image, meta);
}

TPrepResult ReadPhotoSize(const std::string& path, int& width, int& height) {
  IKInitialize();
  width = height = 0;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    return TPrepResult::Fail(TErrorCode::NotFound, TPrepFault::Missing, path,
                             path + ": no such file");
  bool across = false;  // turned a quarter to be upright
  if (IsCameraFile(path)) {
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS)
      return Unreadable(path, "not a readable camera file");
    width = raw->imgdata.sizes.width;
    height = raw->imgdata.sizes.height;
    across = (raw->imgdata.sizes.flip & 4) != 0;
  } else {
    if (!vips_foreign_find_load(path.c_str())) {
      ForgetVipsError();
      return Unreadable(path, "not a readable image");
    }
    try {
      const vips::VImage header = vips::VImage::new_from_file(path.c_str());
      width = header.width();
      height = header.height();
      if (vips_image_get_typeof(header.get_image(), VIPS_META_ORIENTATION) != 0)
        across = header.get_int(VIPS_META_ORIENTATION) >= 5;
    } catch (const vips::VError&) {
      ForgetVipsError();
      return Unreadable(path, "not a readable image");
    }
  }
  if (across) std::swap(width, height);
  return {};
}

long long PhotoLoadBytes(const std::string& path, int atLeast) {
  IKInitialize();
  // Our copy of the pixels read, 16 bits a channel, and one more the
  // shaping makes of it.
  constexpr long long kWorking = 2 * 3 * 2;
  if (IsCameraFile(path)) {
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS) return 0;
    const libraw_image_sizes_t& s = raw->imgdata.sizes;
    raw->imgdata.params.half_size = ShrinkFor(std::max(s.width, s.height), atLeast, {2}) == 2;
    const int half = raw->imgdata.params.half_size ? 2 : 1;
    return CameraDecodedBytes(*raw) +
           static_cast<long long>(s.width / half) * (s.height / half) * kWorking;
  }
  try {
    const std::optional<TVipsRead> plan = PlanVipsRead(path, atLeast);
    if (!plan) {
      ForgetVipsError();
      return 0;
    }
    const long long read = static_cast<long long>(plan->ReadWidth()) * plan->ReadHeight();
    // A turned photo is held whole once, at the size read.
    const long long turned =
        plan->Orientation != 1 ? plan->DecodedBytes / (plan->Shrink * plan->Shrink) : 0;
    return turned + read * kWorking;
  } catch (const vips::VError&) {
    ForgetVipsError();
    return 0;
  }
}

}  // namespace kalvane
