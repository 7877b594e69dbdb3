#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "swf/BitsEngine.h"

namespace kalvane::test {

using Bytes = std::vector<std::uint8_t>;

// What `write` puts through a fresh engine, aligned at the end.
inline Bytes Written(const std::function<void(TBitsEngine&)>& write) {
  TMemoryStream out;
  TBitsEngine be(out);
  write(be);
  be.AlignToByte(true);
  return out.Data();
}

inline std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) s += ' ';
    s += digits[bytes[i] >> 4];
    s += digits[bytes[i] & 15];
  }
  return s;
}

inline Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

inline Bytes ReadFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  Bytes out;
  if (!f) return out;
  for (int c; (c = std::fgetc(f)) != EOF;)
    out.push_back(static_cast<std::uint8_t>(c));
  std::fclose(f);
  return out;
}

// A baseline (or progressive) JPEG of one colour.
void WriteJpeg(const std::string& path, int width, int height, bool progressive = false);

}  // namespace kalvane::test
