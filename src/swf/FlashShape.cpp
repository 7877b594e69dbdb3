#include "swf/FlashShape.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/Round.h"
#include "swf/FlashImage.h"
#include "swf/FlashMovie.h"

namespace kalvane {

namespace {
constexpr std::int64_t kLongestEdge = 65535;
}

TFlashEdges::TFlashEdges(TFlashMovie* owner, std::vector<std::unique_ptr<TSWFShapeRecord>>& records)
    : Records(records), Owner(owner) {
  auto first = std::make_unique<TSWFStyleChangeRecord>();
  first->StateFillStyle1 = true;
  Records.push_back(std::move(first));
}

std::int32_t TFlashEdges::UnitMultiplier() const {
  return IgnoreMovieUnits || !Owner ? 1 : Owner->UnitMultiplier();
}

TSWFStyleChangeRecord& TFlashEdges::LastStyleChange() {
  if (Records.empty() || Records.back()->Kind != TShapeRecordKind::StyleChange) {
    Records.push_back(std::make_unique<TSWFStyleChangeRecord>());
  }
  return static_cast<TSWFStyleChangeRecord&>(*Records.back());
}

void TFlashEdges::MoveTo(std::int32_t x, std::int32_t y) {
  const std::int64_t m = UnitMultiplier();
  const std::int64_t tx = x * m, ty = y * m;
  if (tx == CurrentX && ty == CurrentY && Records.size() <= 1) return;
  CurrentX = tx;
  CurrentY = ty;
  LastStyleChange().SetMoveTo(static_cast<std::int32_t>(tx), static_cast<std::int32_t>(ty));
  StartX = tx;
  StartY = ty;
}

void TFlashEdges::LineTo(std::int32_t dx, std::int32_t dy) {
  if (dx == 0 && dy == 0) return;
  const std::int64_t m = UnitMultiplier();
  const std::int64_t tx = dx * m, ty = dy * m;
  const auto pieces = [](std::int64_t d) {
    return (std::llabs(d) + kLongestEdge - 1) / kLongestEdge;
  };
  const std::int64_t k = std::max<std::int64_t>({pieces(tx), pieces(ty), 1});
  const double stepX = static_cast<double>(tx) / static_cast<double>(k);
  const double stepY = static_cast<double>(ty) / static_cast<double>(k);
  for (std::int64_t g = 1; g <= k; ++g) {
    const auto at = [g](double step, std::int64_t i) {
      return RoundInt(step * static_cast<double>(g - i));
    };
    Records.push_back(std::make_unique<TSWFStraightEdgeRecord>(at(stepX, 0) - at(stepX, 1),
                                                               at(stepY, 0) - at(stepY, 1)));
  }
  CurrentX += tx;
  CurrentY += ty;
}

void TFlashEdges::Rectangle(std::int32_t w, std::int32_t h) {
  LineTo(w, 0);
  LineTo(0, h);
  LineTo(-w, 0);
  LineTo(0, -h);
}

void TFlashEdges::EndPath() {
  Records.push_back(std::make_unique<TSWFEndShapeRecord>());
}

TFlashShape::TFlashShape(TFlashMovie* owner)
    : Path(std::make_unique<TFlashEdges>(owner, Tag.ShapeRecords)) {
  SetOwner(owner);
}

void TFlashShape::SetCharId(std::uint16_t id) {
  TFlashVisualObject::SetCharId(id);
  Tag.ShapeId = id;
}

void TFlashShape::OwnerChanged() {
  if (Path) Path->SetOwner(Owner());
}

void TFlashShape::SetBounds(std::int32_t left, std::int32_t top, std::int32_t right,
                            std::int32_t bottom) {
  const std::int32_t m = UnitMultiplier();
  ShapeBounds.Assign({left * m, top * m, right * m, bottom * m});
}

TSWFStyleChangeRecord* TFlashShape::TargetStyleChange() {
  auto& records = Tag.ShapeRecords;
  auto isStyle = [](const auto& r) { return r->Kind == TShapeRecordKind::StyleChange; };
  if (StyleTarget) {
    auto it = std::find_if(records.rbegin(), records.rend(), isStyle);
    return it == records.rend() ? nullptr : static_cast<TSWFStyleChangeRecord*>(it->get());
  }
  auto it = std::find_if(records.begin(), records.end(), isStyle);
  return it == records.end() ? nullptr : static_cast<TSWFStyleChangeRecord*>(it->get());
}

void TFlashShape::AddFillStyle(const std::shared_ptr<TSWFFillStyle>& fill) {
  auto& fills = Tag.FillStyles;
  auto it = std::find(fills.begin(), fills.end(), fill);
  if (it == fills.end()) it = fills.insert(fills.end(), fill);
  const auto index = static_cast<std::uint16_t>(it - fills.begin());
  if (TSWFStyleChangeRecord* target = TargetStyleChange()) target->SetFillStyle1(index + 1);
}

TSWFImageFill* TFlashShape::SetBitmapFill(TFlashImage& image, int mode, double sx, double sy) {
  auto fill = std::make_shared<TSWFImageFill>();
  fill->BitmapId = image.GetCharId();
  fill->Matrix.SetTranslate(ShapeBounds.Xmin - 5, ShapeBounds.Ymin - 5);
  if (mode == 1) {
    fill->FillType = 0x41;
    const std::int32_t m = UnitMultiplier();
    const std::int32_t width = (ShapeBounds.Xmax / m - ShapeBounds.Xmin / m) * m;
    const std::int32_t height = (ShapeBounds.Ymax / m - ShapeBounds.Ymin / m) * m;
    if (image.Width() <= 0 || image.Height() <= 0) {
      throw TSwfError(image.FileName() + ": image has no pixel size to fit");
    }
    fill->Matrix.SetScale(static_cast<double>(width) / image.Width() + 15.0 / 4096.0,
                          static_cast<double>(height) / image.Height() + 15.0 / 4096.0);
  } else {
    fill->FillType = mode == 2 ? 0x40 : 0x41;
    fill->Matrix.SetScale(20.0 * sx, 20.0 * sy);
  }
  AddFillStyle(fill);
  if (Owner()) Owner()->MoveObjectBefore(&image, this);
  return fill.get();
}

void TFlashShape::WriteTag(TBitsEngine& be) {
  Tag.TagCode = HasAlpha ? 32 : 22;
  Tag.HasAlpha = HasAlpha;
  std::int32_t widest = 0;
  for (const TSWFLineStyle& line : Tag.LineStyles)
    widest = std::max<std::int32_t>(widest, line.Width);
  const std::int32_t half = widest / 2;
  Tag.ShapeBounds.Assign({ShapeBounds.Xmin - half, ShapeBounds.Ymin - half, ShapeBounds.Xmax + half,
                          ShapeBounds.Ymax + half});
  Tag.WriteTag(be);
}

}  // namespace kalvane
