#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "swf/ByteStream.h"

namespace kalvane {

class TSWFMatrix;

// 0 for 0, else the smallest c in 1..32 with a < 2^c.
std::uint32_t BitsForUnsigned(std::uint64_t a);
// 0 for 0, else BitsForUnsigned(|a|) + 1.
std::uint32_t BitsForSigned(std::int64_t a);
// BitsForSigned of the largest magnitude among the values.
std::uint32_t BitsForSignedValues(std::initializer_list<std::int64_t> values);

// Writes SWF's bit-packed records to a stream: bit fields most significant
// bit first, integers little-endian.
class TBitsEngine {
 public:
  explicit TBitsEngine(TByteStream& target) : Target(target) {}

  TByteStream& Stream() { return Target; }

  void PutBits(std::uint32_t value, std::uint32_t count);
  void PutFlag(bool b) { PutBits(b ? 1 : 0, 1); }
  void PutUI8(std::uint8_t b);
  void PutUI16(std::uint16_t w);
  void PutUI32(std::uint32_t d);
  void AlignToByte(bool write);
  // Text is stored as it is (UTF-8 throughout this program), so `utf8` only
  // documents the caller's intent.
  void PutString(const std::string& text, bool terminate, bool utf8);
  void PutRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
  void PutMatrix(const TSWFMatrix& matrix);
  // Signed value in `count` bits (two's complement).
  void PutSBits(std::int32_t value, std::uint32_t count) {
    PutBits(static_cast<std::uint32_t>(value), count);
  }

  bool HasPendingBits() const { return PendingCount != 0; }

 private:
  TByteStream& Target;
  std::uint8_t PendingBits = 0;
  std::uint8_t PendingCount = 0;
};

}  // namespace kalvane
