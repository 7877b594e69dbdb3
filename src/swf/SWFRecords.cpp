#include "swf/SWFRecords.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "swf/BitsEngine.h"

namespace kalvane {

namespace {
// SWF's fixed-point values truncate toward zero.
std::int32_t Fixed16(double v) {
  // 16.16 holds -32768 up to just below 32768; beyond, the nearest end.
  if (!(v > -32768.0)) return std::isnan(v) ? 0 : INT32_MIN;
  if (v >= 32768.0) return INT32_MAX;
  return static_cast<std::int32_t>(std::trunc(v * 65536.0));
}
}  // namespace

void TSWFRect::Assign(const TRect32& r) {
  Xmin = r.left;
  Xmax = r.right;
  Ymin = r.top;
  Ymax = r.bottom;
  if (Xmin > Xmax) std::swap(Xmin, Xmax);
  if (Ymin > Ymax) std::swap(Ymin, Ymax);
}

void TSWFRect::WriteRect(TBitsEngine& be) const {
  be.PutRect(Xmin, Ymin, Xmax, Ymax);
}

void TSWFMatrix::SetScale(double sx, double sy) {
  ScaleX = Fixed16(sx);
  ScaleY = Fixed16(sy);
  HasScale = true;
}

void TSWFMatrix::SetSkew(double r0, double r1) {
  Skew0 = Fixed16(r0);
  Skew1 = Fixed16(r1);
  HasSkew = true;
}

void TSWFRGBA::Write(TBitsEngine& be, bool withAlpha) const {
  be.PutUI8(R);
  be.PutUI8(G);
  be.PutUI8(B);
  if (withAlpha) be.PutUI8(A);
}

void TSWFColorTransform::Write(TBitsEngine& be) const {
  be.PutFlag(HasAdd);
  be.PutFlag(HasMult);
  std::uint32_t n = 0;
  if (HasMult) n = std::max(n, BitsForSignedValues({MultR, MultG, MultB, MultA}));
  if (HasAdd) n = std::max(n, BitsForSignedValues({AddR, AddG, AddB, AddA}));
  be.PutBits(n, 4);
  if (HasMult) {
    for (std::int32_t v : {MultR, MultG, MultB, MultA})
      be.PutSBits(v, n);
  }
  if (HasAdd) {
    for (std::int32_t v : {AddR, AddG, AddB, AddA})
      be.PutSBits(v, n);
  }
  be.AlignToByte(true);
}

}  // namespace kalvane
