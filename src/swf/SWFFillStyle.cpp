#include "swf/SWFFillStyle.h"

#include "swf/BitsEngine.h"

namespace kalvane {

void TSWFColorFill::WriteRecord(TBitsEngine& be) const {
  be.PutUI8(FillType);
  Color.Write(be, HasAlpha);
}

void TSWFImageFill::WriteRecord(TBitsEngine& be) const {
  be.PutUI8(FillType);
  be.PutUI16(BitmapId);
  be.PutMatrix(Matrix);
}

void TSWFLineStyle::WriteRecord(TBitsEngine& be, bool hasAlpha) const {
  be.PutUI16(Width);
  Color.Write(be, hasAlpha);
}

}  // namespace kalvane
