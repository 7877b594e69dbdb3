#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// The frame files of an export, in frame order, and the movie size.
class TSwfList {
 public:
  static constexpr int kMaxFrames = 1000;

  void Add(const std::string& fileName) { Files.push_back(fileName); }
  int Count() const { return static_cast<int>(Files.size()); }
  const std::string& operator[](int i) const { return Files[static_cast<std::size_t>(i)]; }
  void Clear() { Files.clear(); }

  // Both store only values above 0.
  void SetSwfWidth(std::int32_t w);
  void SetSwfHeight(std::int32_t h);
  std::int32_t Width() const { return FrameWidth; }
  std::int32_t Height() const { return FrameHeight; }
  // round(t x 1.0), at least 1.
  static int FrameCount(double t);

  // The PC data movie: one bitmap-filled rectangle per frame, 1 frame a
  // second, version 6. Refuses an empty list or more than 1000 frames
  // without touching the file; the old file is replaced only by a complete
  // new one. Frame files are noted while the movie is built and copied into
  // it one at a time, so memory does not grow with the frame count.
  TResult MakePcSwf(const std::string& fileName) const;

 private:
  std::vector<std::string> Files;
  std::int32_t FrameWidth = 300;
  std::int32_t FrameHeight = 300;
};

}  // namespace kalvane
