#pragma once

#include <string>

#include "imaging/PhotoImage.h"
#include "imaging/PrepResult.h"

namespace kalvane {

// Extension, lower-cased, one of the photo files the preparation tool
// reads: jpg jpeg png tif tiff webp heic heif avif and the camera files.
bool IsPhotoFile(const std::string& path);
// cr2 cr3 nef arw raf dng: decoded by LibRaw.
bool IsCameraFile(const std::string& path);

// The most a photo may take decoded: its pixels at the size its decoder
// gives them, times its bands and bytes a sample (a 16-bit RGBA PNG takes
// 8 bytes a pixel, a JPEG 3). JPEG, WebP and camera files are decoded
// reduced when the output is smaller, and count at that size; the others
// are decoded whole (and reduced as they stream past, never held whole).
// A photo above it is refused as too large (TPrepFault::TooLarge), as is
// one of more than kIKMaxPixels pixels (the editor's loader's one limit,
// under which its display copies are decoded reduced).
inline constexpr long long kPhotoMaxDecodedBytes = 1LL << 30;

// Reads a photo upright (its orientation tag applied), in sRGB (an
// embedded profile converted), flattened onto white when it has alpha.
// `atLeast` > 0 lets the decoder shrink while the longest side stays at
// least that long; 0 reads the full size.
TPrepResult LoadPhoto(const std::string& path, int atLeast, TRgbImage& image, TPhotoMeta* meta);

// About the memory LoadPhoto and the work after it hold for the photo at
// `atLeast`, from its header; 0 when the header cannot be read (the load
// then fails at once).
long long PhotoLoadBytes(const std::string& path, int atLeast);

// The size the photo is read at, upright, from its header only.
TPrepResult ReadPhotoSize(const std::string& path, int& width, int& height);

}  // namespace kalvane
