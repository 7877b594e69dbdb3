#pragma once

#include <cstdint>
#include <string>

#include "swf/FlashObjects.h"

namespace kalvane {

// A bitmap character from a JPEG file. The file is probed for its pixel
// size when loaded and copied into the movie when the movie is saved; it is
// not held open in between.
class TFlashImage : public TFlashIDObject {
 public:
  // Throws TSwfError naming the file for a format other than JPEG, or a
  // JPEG whose pixel size cannot be read (progressive or damaged).
  TFlashImage(TFlashMovie* owner, const std::string& fileName);

  int RequiredVersion() const override { return HasAlpha ? 3 : 2; }
  void WriteTag(TBitsEngine& be) override;

  bool IsJPEG() const { return JPEG; }
  int Width() const { return PixelWidth; }
  int Height() const { return PixelHeight; }
  const std::string& FileName() const { return Path; }
  std::uint64_t FileSize() const { return Size; }

 private:
  std::string Path;
  bool JPEG = false;
  bool HasAlpha = false;
  bool CompleteJpeg = false;
  std::uint64_t Size = 0;
  int PixelWidth = 0;
  int PixelHeight = 0;
};

}  // namespace kalvane
