#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/Result.h"

namespace kalvane::test {

// Assertions on results: Ok shows the error of a failure; Failed keeps it.
inline testing::AssertionResult Ok(const TResult& r) {
  if (r.Ok()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << r.Error;
}
inline testing::AssertionResult Failed(const TResult& r, std::string* error = nullptr) {
  if (error) *error = r.Error;
  if (r.Ok()) return testing::AssertionFailure() << "succeeded";
  return testing::AssertionSuccess();
}

// A fresh folder under the temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Writes a w x h image whose pixel (x, y) is (r, g, b) = (x mod 256,
// y mod 256, 77). The format follows the extension (.png .jpg .tif .gif
// .bmp); JPEG is quality 95.
void WriteGradient(const std::string& path, int width, int height);
// A w x h image of one colour.
void WriteSolid(const std::string& path, int width, int height, int r, int g, int b);
// A white w x h image with a black square of size s at (x, y).
void WriteMarker(const std::string& path, int width, int height, int x, int y, int s);
// A well-formed PNG whose header claims 60000 x 60000 pixels (or the size,
// bit depth and colour type given: 6 is RGBA), with hardly any data.
void WriteHugePng(const std::string& path, unsigned width = 60000, unsigned height = 60000,
                  int depth = 8, int colourType = 2);
std::string SamplesDir();
// A file's whole content; empty when it cannot be read.
std::string ReadText(const std::string& path);

// An environment variable set (or, with nullptr, unset) for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string Name, Old;
  bool Had = false;
};

// The most memory the process holds while it lives: the peak resident set
// is set back to the present one at its start, and PeakGrowth() says how
// far the peak rose above where it started.
// The sanitizers' shadow memory and AddressSanitizer's quarantine of freed
// blocks grow with what the program touches, so under them the peak says
// nothing of our own use.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
inline constexpr bool kPeakMemoryMeasured = false;
#else
inline constexpr bool kPeakMemoryMeasured = true;
#endif

class PeakMemory {
 public:
  PeakMemory();
  long long PeakGrowth() const;  // bytes

 private:
  long long Start = 0;
};

}  // namespace kalvane::test
