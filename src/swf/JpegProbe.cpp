#include "swf/JpegProbe.h"

#include <cstdio>
#include <memory>

namespace kalvane {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

int ReadBigEndian16(std::FILE* f) {
  const int hi = std::getc(f);
  const int lo = std::getc(f);
  if (hi == EOF || lo == EOF) return -1;
  return (hi << 8) | lo;
}

}  // namespace

std::optional<TJpegSize> ProbeJpegSize(const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  std::FILE* f = file.get();
  if (std::getc(f) != 0xFF || std::getc(f) != 0xD8) return std::nullopt;

  int b = std::getc(f);
  while (b == 0xFF) {
    const int marker = std::getc(f);
    if (marker == EOF) break;
    if (marker == 0xFF) continue;  // fill byte
    if (marker == 0xC0 || marker == 0xC1) {
      if (std::fseek(f, 3, SEEK_CUR) != 0) return std::nullopt;
      const int height = ReadBigEndian16(f);
      const int width = ReadBigEndian16(f);
      if (height <= 0 || width <= 0) return std::nullopt;
      return TJpegSize{width, height};
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      b = std::getc(f);  // no length: the next marker follows at once
      continue;
    }
    const int length = ReadBigEndian16(f);
    if (length < 2 || std::fseek(f, length - 2, SEEK_CUR) != 0) return std::nullopt;
    b = std::getc(f);
  }
  return std::nullopt;
}

}  // namespace kalvane
