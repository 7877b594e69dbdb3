#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/SWFFillStyle.h"

namespace kalvane {

class TBitsEngine;

enum class TShapeRecordKind : std::uint8_t {
  End = 0,
  StyleChange = 1,
  StraightEdge = 2,
  CurvedEdge = 3
};

class TSWFShapeRecord {
 public:
  explicit TSWFShapeRecord(TShapeRecordKind kind) : Kind(kind) {}
  virtual ~TSWFShapeRecord() = default;
  TShapeRecordKind Kind;
  virtual void WriteRecord(TBitsEngine& be) = 0;
};

// Six zero bits.
class TSWFEndShapeRecord : public TSWFShapeRecord {
 public:
  TSWFEndShapeRecord() : TSWFShapeRecord(TShapeRecordKind::End) {}
  void WriteRecord(TBitsEngine& be) override;
};

class TSWFStraightEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFStraightEdgeRecord(std::int32_t dx = 0, std::int32_t dy = 0)
      : TSWFShapeRecord(TShapeRecordKind::StraightEdge), X(dx), Y(dy) {}
  std::int32_t X;
  std::int32_t Y;
  // Nothing for (0, 0); horizontal and vertical lines use the short form.
  void WriteRecord(TBitsEngine& be) override;

 protected:
  explicit TSWFStraightEdgeRecord(TShapeRecordKind kind) : TSWFShapeRecord(kind), X(0), Y(0) {}
};

using TFillStyles = std::vector<std::shared_ptr<TSWFFillStyle>>;
using TLineStyles = std::vector<TSWFLineStyle>;

// Selects styles and moves the pen; X, Y hold the move-to point.
class TSWFStyleChangeRecord : public TSWFStraightEdgeRecord {
 public:
  TSWFStyleChangeRecord() : TSWFStraightEdgeRecord(TShapeRecordKind::StyleChange) {}
  std::uint8_t FillBits = 0;
  std::uint8_t LineBits = 0;
  std::uint16_t Fill0Id = 0;
  std::uint16_t Fill1Id = 0;
  std::uint16_t LineId = 0;
  bool StateFillStyle0 = false;
  bool StateFillStyle1 = false;
  bool StateLineStyle = false;
  bool StateMoveTo = false;
  bool StateNewStyles = false;
  bool HasAlpha = false;

  void SetFillStyle0(std::uint16_t index);
  void SetFillStyle1(std::uint16_t index);
  void SetLineStyle(std::uint16_t index);
  void SetMoveTo(std::int32_t x, std::int32_t y);
  // Created on first use, which also marks the record as carrying new styles.
  TFillStyles& NewFillStyles();
  TLineStyles& NewLineStyles();
  bool CarriesNewStyles() const { return StateNewStyles; }

  void WriteRecord(TBitsEngine& be) override;

 private:
  std::unique_ptr<TFillStyles> FillStyles;
  std::unique_ptr<TLineStyles> LineStyles;
};

class TSWFCurvedEdgeRecord : public TSWFShapeRecord {
 public:
  TSWFCurvedEdgeRecord(std::int32_t cx = 0, std::int32_t cy = 0, std::int32_t ax = 0,
                       std::int32_t ay = 0)
      : TSWFShapeRecord(TShapeRecordKind::CurvedEdge),
        ControlX(cx),
        ControlY(cy),
        AnchorX(ax),
        AnchorY(ay) {}
  std::int32_t ControlX, ControlY, AnchorX, AnchorY;
  void WriteRecord(TBitsEngine& be) override;
};

// A style count: one byte up to 254, else FF and the count as UI16.
void WriteStyleCount(TBitsEngine& be, std::size_t count);
// Both style arrays as a shape body or a style-change record holds them.
void WriteStyleArrays(TBitsEngine& be, const TFillStyles& fills, const TLineStyles& lines,
                      bool hasAlpha);

}  // namespace kalvane
