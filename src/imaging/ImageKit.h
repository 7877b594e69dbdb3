#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "imaging/Bitmap24.h"

namespace kalvane {

// The image operations the program needs (decode, scale, rotate, cut,
// greyscale, JPEG write, thumbnail drawing), over libvips. Every image that
// leaves here is 8-bit sRGB with three bands: alpha is flattened onto white,
// 16-bit, grey, palette and CMYK inputs are converted. libvips errors are
// caught here; a failed operation gives an empty image that carries the
// reason.

struct TIKFileInfo {
  int width = 0;
  int height = 0;
};

struct TIKRect {  // left, top, right, bottom; right and bottom exclusive
  int left = 0, top = 0, right = 0, bottom = 0;
};

// The same with edges that may fall between pixels.
struct TIKRectF {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// Images larger than this many pixels are refused before decoding, so a
// damaged or hostile header cannot make us allocate gigabytes.
inline constexpr long long kIKMaxPixels = 1LL << 28;

class TIKImage {
 public:
  TIKImage();
  ~TIKImage();
  TIKImage(TIKImage&&) noexcept;
  TIKImage& operator=(TIKImage&&) noexcept;
  TIKImage(const TIKImage&) = delete;
  TIKImage& operator=(const TIKImage&) = delete;

  static TIKImage Failed(std::string error);

  bool IsEmpty() const;
  explicit operator bool() const { return !IsEmpty(); }
  int Width() const;
  int Height() const;
  // Why the operation that made this image failed; empty on success.
  const std::string& Error() const;
  // What was wrong with a file that still decoded (damaged JPEG data);
  // empty for a clean one.
  const std::string& Warning() const;
  void SetWarning(std::string warning);

  struct Impl;
  explicit TIKImage(std::unique_ptr<Impl> impl);
  const Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

// The lines of a libvips error text that concern `path`: libvips keeps one
// error buffer for the process, so while frames are made in parallel it can
// hold another photo's complaint. Lines that name no file are kept.
std::string IKOwnErrorLines(const std::string& detail, const std::string& path);

// Starts the library once per process (later calls do nothing); every
// operation below calls it, so explicit use is only needed to set options.
void IKInitialize();

// libvips writes the vector code (liborc) of a resize or a blur of 8-bit
// pixels while the operation is built, and liborc's code memory is not safe
// to take from two threads at once (a loader crashed in
// orc_code_allocate_codemem). Hold this while building such an operation;
// the pixels are made later, without it, on every core.
std::unique_lock<std::mutex> IKBuildingVectorCode();
void IKShutdown();
// Worker threads libvips may use per pipeline; 1 for single-threaded runs.
void IKSetConcurrency(int threads);

// Width and height from the file's header, without decoding the pixels.
// Photos whose orientation tag says they were shot turned are reported, and
// decoded below, upright. Files the decoders below refuse (not one of our
// formats, no pixels, more than kIKMaxPixels) are refused here too.
std::optional<TIKFileInfo> IKFileType(const std::string& path, std::string* error = nullptr);
// Scale that fits the image into 600 x 600 without enlarging; -1.0 when the
// file is missing or its size cannot be read.
double GetFitScale(const std::string& path);
// The whole decoded file.
TIKImage IKFileLoad(const std::string& path);
// Decoded straight to exactly width x height: shrink-on-load where the
// format allows it, then an exact resize. Truncated files are refused.
TIKImage IKFileLoadScaled(const std::string& path, int width, int height);
// The same with the header the caller has already read by IKFileType.
TIKImage IKFileLoadScaled(const std::string& path, const TIKFileInfo& header, int width,
                          int height);
TIKFileInfo IKGetImageType(const TIKImage& image);
// The frame of an export in one pass: the photo turned by `angle`, the part
// inside `rect` (in the turned photo's pixels; white outside it) scaled to
// exactly width x height. For quarter turns the rectangle is mapped into
// the unturned photo, cut there and scaled (decoding JPEGs at a fraction of
// their size when the frame is that much smaller, then a filtered
// reduction that keeps offsets exact to a fraction of a pixel) before the
// small result is turned. A JPEG is read to its end, so damage anywhere in
// it gives the warning. Same picture as IKFileLoad, IKRotationEx,
// IKCutRectImage and IKResizeEx in turn, up to resampling.
TIKImage IKTrimFrame(const std::string& path, int angle, TIKRect rect, int width, int height);
// The same with a rectangle whose edges may fall between pixels: the frame
// moves by exactly the fraction.
TIKImage IKTrimFrameFine(const std::string& path, int angle, TIKRectF rect, int width, int height);
// Luma, one byte a pixel, rows packed.
struct TIKGrey {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Pixels;
};
// The luma of a JPEG turned by `angle` (quarter turns) and decoded at
// 1/shrink (1, 2, 4 or 8): the whole pixels inside `rect` of that turned,
// reduced image, white outside it. Quick: no colour, no resampling, and
// the data is read only down to the last row needed, so damage below it
// goes unseen. Nothing when the photo cannot be read that way (not a plain
// JPEG, turned by its EXIF tag, a side the shrink does not divide where
// the turn needs it, broken data): then IKTrimFrameFine serves.
std::optional<TIKGrey> IKGreyCut(const std::string& path, int angle, int shrink, TIKRect rect);
// A JPEG's luma at 1/Shrink of its size as stored (unturned), kept from a
// decode made for its display copy, for the grey cuts to be made from
// memory.
struct TIKReducedGrey {
  TIKGrey Grey;
  int Shrink = 0;
  TIKFileInfo Stored;
};
// IKFileLoadScaled that also fills `reduced`, from the same decode, with
// the photo's luma at 1/reducedShrink (1, 2, 4 or 8) when it is a plain
// JPEG shown as stored; otherwise `reduced` stays empty.
TIKImage IKFileLoadScaled(const std::string& path, const TIKFileInfo& header, int width, int height,
                          int reducedShrink, std::optional<TIKReducedGrey>* reduced);
// IKGreyCut from a kept copy instead of the file (the same pixels up to
// the colour conversion's rounding); nothing unless it was kept at `shrink`.
std::optional<TIKGrey> IKGreyCut(const TIKReducedGrey& reduced, int angle, int shrink,
                                 TIKRect rect);
// The size IKRotationEx gives an image of width x height.
TIKFileInfo IKRotatedSize(int width, int height, int angle);
// Scaled to exactly width x height (aspect not kept).
TIKImage IKResizeEx(const TIKImage& image, int width, int height);
// Rotated by hundredths of a degree, positive counter-clockwise. Quarter
// turns are lossless; other angles rotate about the centre onto white and
// give the bounding box of the turned image.
TIKImage IKRotationEx(const TIKImage& image, int angle);
// The part inside the rectangle; what lies outside the image is white.
TIKImage IKCutRectImage(const TIKImage& image, TIKRect rect);
// Greyscale copy of the same size; the three bytes of a pixel are equal.
TIKImage IKSetGray(const TIKImage& image);
// The same greyscale straight from a bitmap's rows.
TBitmap24 IKSetGray(const TBitmap24& bitmap);
// Rec. 601 luma, the weights classic imaging libraries use, in fixed point
// (the weights sum to 2^16, so white stays 255); IKSetGray's grey.
inline std::uint8_t IKLuma(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return static_cast<std::uint8_t>((19595u * r + 38470u * g + 7471u * b + 32768u) >> 16);
}
// Baseline JPEG. Returns false with the reason on failure.
TResult IKJpegFileSave(const std::string& path, const TIKImage& image, int quality);
TIKImage IKDibFromBitmap(const TBitmap24& bitmap);
TBitmap24 IKBitmapFromDib(const TIKImage& image);
// Draws the image into the rectangle of the target, fitted inside it with its
// aspect kept and centred. Pixels outside the target are clipped.
void IKImageOut(TBitmap24& target, const TIKImage& image, TIKRect rect);

}  // namespace kalvane
