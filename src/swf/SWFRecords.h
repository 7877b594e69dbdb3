#pragma once

#include <cstdint>

namespace kalvane {

class TBitsEngine;

struct TRect32 {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const TRect32&) const = default;
};

// A rectangle in twips, kept with Xmin <= Xmax and Ymin <= Ymax.
class TSWFRect {
 public:
  std::int32_t Xmax = 0;
  std::int32_t Xmin = 0;
  std::int32_t Ymax = 0;
  std::int32_t Ymin = 0;

  void Assign(const TRect32& r);
  TRect32 Rect() const { return {Xmin, Ymin, Xmax, Ymax}; }
  void WriteRect(TBitsEngine& be) const;
};

// Scale and skew in 16.16 fixed point, translation in twips.
class TSWFMatrix {
 public:
  bool HasScale = false;
  bool HasSkew = false;
  std::int32_t ScaleX = 0x10000;
  std::int32_t ScaleY = 0x10000;
  std::int32_t Skew0 = 0;
  std::int32_t Skew1 = 0;
  std::int32_t TranslateX = 0;
  std::int32_t TranslateY = 0;

  // Truncates toward zero.
  void SetScale(double sx, double sy);
  void SetSkew(double r0, double r1);
  void SetTranslate(std::int32_t tx, std::int32_t ty) {
    TranslateX = tx;
    TranslateY = ty;
  }
};

struct TSWFRGBA {
  std::uint8_t R = 0, G = 0, B = 0, A = 255;
  // Three bytes, or four with alpha.
  void Write(TBitsEngine& be, bool withAlpha) const;
};

// CXFORMWITHALPHA: multiply terms in 8.8 fixed point, then add terms.
class TSWFColorTransform {
 public:
  bool HasMult = false;
  bool HasAdd = false;
  std::int32_t MultR = 256, MultG = 256, MultB = 256, MultA = 256;
  std::int32_t AddR = 0, AddG = 0, AddB = 0, AddA = 0;
  void Write(TBitsEngine& be) const;
};

}  // namespace kalvane
