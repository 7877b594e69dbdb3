#pragma once

#include <optional>
#include <string>

namespace kalvane {

struct TJpegSize {
  int width = 0;
  int height = 0;
};

// A JPEG file's pixel size from its baseline (C0) or extended sequential
// (C1) frame header, without decoding. Nothing for other files, for
// progressive JPEGs and for damaged marker chains.
std::optional<TJpegSize> ProbeJpegSize(const std::string& path);

}  // namespace kalvane
