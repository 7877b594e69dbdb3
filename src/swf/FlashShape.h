#pragma once

#include <cstdint>
#include <memory>

#include "swf/FlashObjects.h"
#include "swf/SWFDefineShape.h"

namespace kalvane {

class TFlashImage;

// Builds a shape's path into its record list, in the caller's units.
class TFlashEdges {
 public:
  TFlashEdges(TFlashMovie* owner, std::vector<std::unique_ptr<TSWFShapeRecord>>& records);

  void SetOwner(TFlashMovie* owner) { Owner = owner; }
  bool IgnoreMovieUnits = false;
  std::int32_t UnitMultiplier() const;

  void MoveTo(std::int32_t x, std::int32_t y);
  // Relative; long lines are split so no edge exceeds 65535 twips.
  void LineTo(std::int32_t dx, std::int32_t dy);
  void Rectangle(std::int32_t w, std::int32_t h);
  void EndPath();

  std::int64_t PenX() const { return CurrentX; }
  std::int64_t PenY() const { return CurrentY; }

 private:
  TSWFStyleChangeRecord& LastStyleChange();

  std::int64_t CurrentX = 0;
  std::int64_t CurrentY = 0;
  std::int64_t StartX = 0;
  std::int64_t StartY = 0;
  std::vector<std::unique_ptr<TSWFShapeRecord>>& Records;
  TFlashMovie* Owner = nullptr;
};

class TFlashShape : public TFlashVisualObject {
 public:
  explicit TFlashShape(TFlashMovie* owner);

  int RequiredVersion() const override { return 2 + (HasAlpha ? 1 : 0); }
  void SetCharId(std::uint16_t id) override;
  void OwnerChanged() override;
  // Written as DefineShape2, or DefineShape3 with alpha.
  void WriteTag(TBitsEngine& be) override;

  void SetBounds(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
  const TSWFRect& Bounds() const { return ShapeBounds; }
  TFlashEdges& Edges() { return *Path; }
  TSWFDefineShape3& ShapeTag() { return Tag; }

  // mode 0 clipped at scale (sx, sy), 1 fitted to the bounds, 2 tiled.
  TSWFImageFill* SetBitmapFill(TFlashImage& image, int mode, double sx, double sy);
  void AddFillStyle(const std::shared_ptr<TSWFFillStyle>& fill);

  bool HasAlpha = false;
  // false: styles go to the first style-change record, true: to the last.
  bool StyleTarget = false;

 private:
  TSWFStyleChangeRecord* TargetStyleChange();

  TSWFRect ShapeBounds;
  TSWFDefineShape3 Tag;
  std::unique_ptr<TFlashEdges> Path;
};

}  // namespace kalvane
