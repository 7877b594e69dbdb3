#include "swf/BitsEngine.h"

#include <algorithm>
#include <cstdlib>

#include "swf/SWFRecords.h"

namespace kalvane {

std::uint32_t BitsForUnsigned(std::uint64_t a) {
  std::uint32_t c = 0;
  while (c < 64 && a >= (std::uint64_t{1} << c))
    ++c;
  return std::min<std::uint32_t>(c, 32);
}

std::uint32_t BitsForSigned(std::int64_t a) {
  if (a == 0) return 0;
  return BitsForUnsigned(static_cast<std::uint64_t>(a < 0 ? -a : a)) + 1;
}

std::uint32_t BitsForSignedValues(std::initializer_list<std::int64_t> values) {
  std::int64_t largest = 0;
  for (std::int64_t v : values)
    largest = std::max(largest, v < 0 ? -v : v);
  return BitsForSigned(largest);
}

void TBitsEngine::PutBits(std::uint32_t value, std::uint32_t count) {
  if (count == 0) return;
  // Wider than 24 bits: the two halves separately, so the accumulator below
  // never needs more than 32 bits.
  if (count > 24) {
    PutBits(value >> 16, count - 16);
    PutBits(value & 0xFFFFu, 16);
    return;
  }
  const std::uint32_t v = value & ((std::uint32_t{1} << count) - 1);
  const std::uint32_t t = PendingCount + count;
  if (t < 8) {
    PendingBits = static_cast<std::uint8_t>((PendingBits << count) | v);
    PendingCount = static_cast<std::uint8_t>(t);
    return;
  }
  const std::uint32_t k = t / 8;
  const std::uint32_t r = t % 8;
  std::uint32_t accumulator = 0;
  if (r == 0) {
    accumulator = (static_cast<std::uint32_t>(PendingBits) << count) + v;
    PendingBits = 0;
    PendingCount = 0;
  } else {
    accumulator = (static_cast<std::uint32_t>(PendingBits) << (count - r)) + (v >> r);
    PendingBits = static_cast<std::uint8_t>(v & ((1u << r) - 1));
    PendingCount = static_cast<std::uint8_t>(r);
  }
  std::uint8_t bytes[4];
  for (std::uint32_t i = 0; i < k; ++i) {
    bytes[i] = static_cast<std::uint8_t>(accumulator >> (8 * (k - 1 - i)));
  }
  Target.Write(bytes, k);
}

void TBitsEngine::PutUI8(std::uint8_t b) {
  if (PendingCount != 0) {
    PutBits(b, 8);
  } else {
    Target.WriteByte(b);
  }
}

void TBitsEngine::PutUI16(std::uint16_t w) {
  AlignToByte(true);
  const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(w >> 8)};
  Target.Write(bytes, 2);
}

void TBitsEngine::PutUI32(std::uint32_t d) {
  AlignToByte(true);
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(d), static_cast<std::uint8_t>(d >> 8),
                                 static_cast<std::uint8_t>(d >> 16),
                                 static_cast<std::uint8_t>(d >> 24)};
  Target.Write(bytes, 4);
}

void TBitsEngine::AlignToByte(bool write) {
  if (PendingCount != 0 && write) PutBits(0, 8u - PendingCount);
  PendingBits = 0;
  PendingCount = 0;
}

void TBitsEngine::PutString(const std::string& text, bool terminate, bool /*utf8*/) {
  for (char c : text)
    PutUI8(static_cast<std::uint8_t>(c));
  if (terminate) PutUI8(0);
}

void TBitsEngine::PutRect(std::int32_t left, std::int32_t top, std::int32_t right,
                          std::int32_t bottom) {
  const std::int32_t xmin = std::min(left, right), xmax = std::max(left, right);
  const std::int32_t ymin = std::min(top, bottom), ymax = std::max(top, bottom);
  const std::uint32_t n = BitsForSignedValues({xmin, xmax, ymin, ymax});
  PutBits(n, 5);
  for (std::int32_t v : {xmin, xmax, ymin, ymax})
    PutSBits(v, n);
  AlignToByte(true);
}

void TBitsEngine::PutMatrix(const TSWFMatrix& m) {
  // Each part: its bit count in 5 bits, then the two values in that many.
  auto pair = [this](std::int32_t a, std::int32_t b) {
    const std::uint32_t n = BitsForSignedValues({a, b});
    PutBits(n, 5);
    PutSBits(a, n);
    PutSBits(b, n);
  };
  PutFlag(m.HasScale);
  if (m.HasScale) pair(m.ScaleX, m.ScaleY);
  PutFlag(m.HasSkew);
  if (m.HasSkew) pair(m.Skew0, m.Skew1);
  pair(m.TranslateX, m.TranslateY);  // a zero translation is the 5 bits alone
  AlignToByte(true);
}

}  // namespace kalvane
