#include "SwfTestUtil.h"

#include <vips/vips8>

#include "imaging/ImageKit.h"

namespace kalvane::test {

void WriteJpeg(const std::string& path, int width, int height, bool progressive) {
  IKInitialize();
  vips::VImage image =
      (vips::VImage::black(width, height, vips::VImage::option()->set("bands", 3)) + 90)
          .cast(VIPS_FORMAT_UCHAR)
          .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
  image.jpegsave(
      path.c_str(),
      vips::VImage::option()->set("Q", 80)->set("strip", true)->set("interlace", progressive));
}

}  // namespace kalvane::test
