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

// Reads a photo upright (its orientation tag applied), in sRGB (an
// embedded profile converted), flattened onto white when it has alpha.
// `atLeast` > 0 lets the decoder shrink while the longest side stays at
// least that long; 0 reads the full size.
TPrepResult LoadPhoto(const std::string& path, int atLeast, TRgbImage& image, TPhotoMeta* meta);

// The size the photo is read at, upright, from its header only.
TPrepResult ReadPhotoSize(const std::string& path, int& width, int& height);

}  // namespace kalvane
