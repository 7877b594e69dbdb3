#include "swf/SWFDefineBits.h"

namespace kalvane {

bool IsCompleteJpeg(const std::uint8_t* data, std::size_t size) {
  return size >= 4 && data[0] == 0xFF && data[1] == 0xD8 && data[size - 2] == 0xFF &&
         data[size - 1] == 0xD9;
}

void TSWFDefineBits::WriteBody(TBitsEngine& be) {
  be.PutUI16(CharacterId);
  const bool complete =
      Provider ? Provider->IsCompleteJpeg() : IsCompleteJpeg(Data.data(), Data.size());
  if (!complete) {
    be.PutUI8(0xFF);
    be.PutUI8(0xD8);
  }
  if (Provider) {
    Provider->Write(be);
  } else {
    be.Stream().Write(Data.data(), Data.size());
  }
  if (!complete) {
    be.PutUI8(0xFF);
    be.PutUI8(0xD9);
  }
}

}  // namespace kalvane
