#include "swf/SWFFillStyle.h"

#include "swf/BitsEngine.h"

namespace kalvane {

void TSWFFillStyle::CopyFrom(const TSWFFillStyle& source) {
  HasAlpha = source.HasAlpha;
  FillType = source.FillType;
}

void TSWFColorFill::WriteRecord(TBitsEngine& be) const {
  be.PutUI8(FillType);
  Color.Write(be, HasAlpha);
}

void TSWFImageFill::CopyFrom(const TSWFFillStyle& source) {
  TSWFFillStyle::CopyFrom(source);
  if (const auto* image = dynamic_cast<const TSWFImageFill*>(&source)) {
    BitmapId = image->BitmapId;
    Matrix = image->Matrix;
  }
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
