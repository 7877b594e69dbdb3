#include "imaging/PhotoLoad.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
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
  return Unreadable(path, "image too large", TPrepFault::TooLarge);
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

TPrepResult LoadWithVips(const std::string& path, int atLeast, TRgbImage& out, TPhotoMeta* meta) {
  const char* loader = vips_foreign_find_load(path.c_str());
  if (!loader) {
    ForgetVipsError();
    return Unreadable(path, "not a readable image");
  }
  try {
    vips::VImage header = vips::VImage::new_from_file(path.c_str());
    if (static_cast<long long>(header.width()) * header.height() > kIKMaxPixels)
      return TooLarge(path);
    const int longest = std::max(header.width(), header.height());
    vips::VOption* options = vips::VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL);
    // JPEG decodes at 1/2, 1/4 or 1/8 almost for free; the rest is
    // decoded whole.
    if (std::strstr(loader, "Jpeg")) options->set("shrink", ShrinkFor(longest, atLeast, {8, 4, 2}));
    // A cut-off file is refused; the small faults many cameras' files have
    // are not.
    options->set("fail_on", VIPS_FAIL_ON_TRUNCATED);
    vips::VImage image = vips::VImage::new_from_file(path.c_str(), options).copy_memory();
    if (meta) {
      meta->SixteenBit = image.format() != VIPS_FORMAT_UCHAR && image.format() != VIPS_FORMAT_CHAR;
      meta->Exif = Blob(image, VIPS_META_EXIF_NAME);
      meta->Xmp = Blob(image, VIPS_META_XMP_NAME);
      meta->Iptc = Blob(image, VIPS_META_IPTC_NAME);
    }
    image = image.autorot();
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

    out.Width = image.width();
    out.Height = image.height();
    out.Pixels.resize(static_cast<std::size_t>(out.Width) * out.Height * 3);
    std::size_t bytes = 0;
    std::unique_ptr<void, decltype(&g_free)> data(image.write_to_memory(&bytes), g_free);
    if (bytes != out.Pixels.size() * (deep ? 2 : 1))
      return Unreadable(path, "not a readable image");
    if (deep) {
      std::memcpy(out.Pixels.data(), data.get(), out.Pixels.size() * 2);
    } else {
      const auto* p = static_cast<const std::uint8_t*>(data.get());
      for (std::size_t i = 0; i < out.Pixels.size(); ++i)
        out.Pixels[i] = static_cast<std::uint16_t>(p[i] * 257);
    }
  } catch (const vips::VError&) {
    ForgetVipsError();
    if (CutOff(path))
      return Unreadable(path, "not a readable image (the file is cut off)", TPrepFault::CutOff);
    return Unreadable(path, "not a readable image");
  }
  return {};
}

TPrepResult LoadCameraFile(const std::string& path, int atLeast, TRgbImage& out, TPhotoMeta* meta) {
  auto raw = std::make_unique<LibRaw>();
  if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS)
    return Unreadable(path, "not a readable camera file");
  const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
  if (static_cast<long long>(sizes.width) * sizes.height > kIKMaxPixels) return TooLarge(path);
  libraw_output_params_t& params = raw->imgdata.params;
  params.use_camera_wb = 1;
  params.output_bps = 16;
  params.output_color = 1;  // sRGB
  // Half size skips the demosaic's interpolation: four times less work.
  params.half_size = ShrinkFor(std::max(sizes.width, sizes.height), atLeast, {2}) == 2;
  int rc = raw->unpack();
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

}  // namespace kalvane
