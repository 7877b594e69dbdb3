#include "swf/SWFDefineShape.h"

namespace kalvane {

void TSWFDefineShape::WriteBody(TBitsEngine& be) {
  be.PutUI16(ShapeId);
  ShapeBounds.WriteRect(be);
  WriteStyleArrays(be, FillStyles, LineStyles, HasAlpha);
  auto fillBits = static_cast<std::uint8_t>(BitsForUnsigned(FillStyles.size()));
  auto lineBits = static_cast<std::uint8_t>(BitsForUnsigned(LineStyles.size()));
  be.PutBits(fillBits, 4);
  be.PutBits(lineBits, 4);

  for (std::size_t i = 0; i < ShapeRecords.size(); ++i) {
    TSWFShapeRecord& record = *ShapeRecords[i];
    const bool last = i + 1 == ShapeRecords.size();
    auto* style = record.Kind == TShapeRecordKind::StyleChange
                      ? static_cast<TSWFStyleChangeRecord*>(&record)
                      : nullptr;
    if (style) {
      style->HasAlpha = HasAlpha;
      style->FillBits = fillBits;
      style->LineBits = lineBits;
      if (!style->CarriesNewStyles()) {
        if (fillBits == 0) style->StateFillStyle0 = style->StateFillStyle1 = false;
        if (lineBits == 0) style->StateLineStyle = false;
      }
    }
    if (record.Kind != TShapeRecordKind::End || last) record.WriteRecord(be);
    if (style && style->CarriesNewStyles()) {
      fillBits = style->FillBits;
      lineBits = style->LineBits;
    }
  }
  if (ShapeRecords.empty() || ShapeRecords.back()->Kind != TShapeRecordKind::End) {
    be.PutBits(0, 6);
  }
  be.AlignToByte(true);
}

}  // namespace kalvane
