#pragma once

// For the image layer's own files: the libvips image inside a TIKImage.
#include <string>
#include <vips/vips8>

#include "imaging/ImageKit.h"

namespace kalvane {

struct TIKImage::Impl {
  vips::VImage image;
  std::string error;
  std::string warning;
};

}  // namespace kalvane
