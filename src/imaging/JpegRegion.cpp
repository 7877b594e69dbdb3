#include "imaging/JpegRegion.h"

// jpeglib.h needs FILE declared before it.
// clang-format off
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>

namespace kalvane {

namespace {

struct TErrors {
  jpeg_error_mgr Pub;  // first: libjpeg hands back a pointer to it
  std::jmp_buf Jump;
  int Warnings = 0;
  char FirstWarning[JMSG_LENGTH_MAX] = {};
  char Fatal[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<TErrors*>(info->err);
  (*info->err->format_message)(info, errors->Fatal);
  std::longjmp(errors->Jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;  // trace output
  auto* errors = reinterpret_cast<TErrors*>(info->err);
  if (info->err->msg_code == JWRN_JPEG_EOF) {
    // The file ends early; what follows would be made up.
    (*info->err->format_message)(info, errors->Fatal);
    std::longjmp(errors->Jump, 1);
  }
  ++info->err->num_warnings;  // as the library's own handler counts them
  if (errors->Warnings++ == 0) (*info->err->format_message)(info, errors->FirstWarning);
}

// What the decode works with. Kept outside the function that calls setjmp,
// so an error exit finds it as it was left.
struct TDecode {
  std::FILE* File = nullptr;
  jpeg_decompress_struct Info{};
  TErrors Errors;
  std::vector<std::uint8_t> Line;
  bool PixelsDone = false;  // every row has been decoded
};

void Decode(TDecode& d, TJpegRegion& region, int shrink, int left, int top, int right, int bottom,
            TJpegRegionWay way) {
  jpeg_decompress_struct& info = d.Info;
  info.err = jpeg_std_error(&d.Errors.Pub);
  d.Errors.Pub.error_exit = OnError;
  d.Errors.Pub.emit_message = OnMessage;
  if (setjmp(d.Errors.Jump) != 0) {
    jpeg_destroy_decompress(&info);
    if (d.PixelsDone) {
      // Damage after the last row (a broken marker before the end): the
      // picture is whole, the file is not.
      region.Warning = d.Errors.Fatal;
      return;
    }
    region = {};
    region.Error = d.Errors.Fatal;
    return;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, d.File);
  jpeg_read_header(&info, TRUE);
  const bool plain = (info.num_components == 3 &&
                      (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB)) ||
                     (info.num_components == 1 && info.jpeg_color_space == JCS_GRAYSCALE);
  if (!plain) {
    jpeg_destroy_decompress(&info);
    region.Unsupported = true;
    return;
  }
  region.Channels = way.Grey ? 1 : 3;
  info.out_color_space = way.Grey ? JCS_GRAYSCALE : JCS_RGB;
  info.scale_num = 1;
  info.scale_denom = static_cast<unsigned>(shrink);
  jpeg_start_decompress(&info);
  const int width = static_cast<int>(info.output_width);
  const int height = static_cast<int>(info.output_height);
  region.Left = std::clamp(left, 0, width);
  region.Top = std::clamp(top, 0, height);
  region.Width = std::clamp(right, 0, width) - region.Left;
  region.Height = std::clamp(bottom, 0, height) - region.Top;
  if (region.Width <= 0 || region.Height <= 0) region.Width = region.Height = 0;
  // Only the columns needed are turned into pixels; the decoder starts
  // them at a block boundary.
  JDIMENSION from = 0, columns = info.output_width;
  if (region.Width > 0 && region.Width < width) {
    from = static_cast<JDIMENSION>(region.Left);
    columns = static_cast<JDIMENSION>(region.Width);
    jpeg_crop_scanline(&info, &from, &columns);
  }
  const int n = region.Channels;
  d.Line.resize(static_cast<std::size_t>(columns) * n);
  region.Pixels.resize(static_cast<std::size_t>(region.Width) * region.Height * n);
  JSAMPROW row = d.Line.data();
  // Rows above are entropy-decoded only, as are the rows below but the
  // last: skipping to the very end would not read their data at all.
  if (region.Height > 0 && region.Top > 0)
    jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(region.Top));
  const auto offset = static_cast<std::ptrdiff_t>(region.Left - static_cast<int>(from)) * n;
  for (int y = 0; y < region.Height; ++y) {
    jpeg_read_scanlines(&info, &row, 1);
    std::copy_n(d.Line.begin() + offset, region.Width * n,
                region.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * region.Width * n);
  }
  if (!way.ToEnd) {
    d.PixelsDone = true;
    jpeg_destroy_decompress(&info);
    if (d.Errors.Warnings > 0) region.Warning = d.Errors.FirstWarning;
    return;
  }
  const int rest = height - static_cast<int>(info.output_scanline);
  if (rest > 1) jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(rest - 1));
  if (rest > 0) jpeg_read_scanlines(&info, &row, 1);
  d.PixelsDone = true;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (d.Errors.Warnings > 0) region.Warning = d.Errors.FirstWarning;
}

}  // namespace

TJpegRegion DecodeJpegRegion(const std::string& path, int shrink, int left, int top, int right,
                             int bottom, TJpegRegionWay way) {
  TJpegRegion region;
  TDecode decode;
  decode.File = std::fopen(path.c_str(), "rb");
  if (!decode.File) {
    region.Error = "cannot open the file";
    return region;
  }
  Decode(decode, region, shrink, left, top, right, bottom, way);
  std::fclose(decode.File);
  return region;
}

}  // namespace kalvane
