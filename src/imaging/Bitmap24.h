#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace kalvane {

// A 24-bit device-independent bitmap: rows of blue, green, red bytes, each
// row padded to a multiple of 4 bytes, top row first. The canvas lock guards
// drawing when a loader thread and the GUI thread both use the bitmap; it is
// recursive so a drawing step may call another that locks again.
class TBitmap24 {
 public:
  TBitmap24() = default;
  TBitmap24(int width, int height);
  TBitmap24(const TBitmap24& other);
  TBitmap24& operator=(const TBitmap24& other);
  TBitmap24(TBitmap24&& other) noexcept;
  TBitmap24& operator=(TBitmap24&& other) noexcept;
  ~TBitmap24() = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::size_t Stride() const { return stride_; }
  bool IsEmpty() const { return width_ <= 0 || height_ <= 0; }

  // Changes the size; the content becomes undefined (callers fill it).
  // Keeps the buffer when the size is unchanged.
  void SetSize(int width, int height);

  std::uint8_t* Row(int y) { return data_.data() + static_cast<std::size_t>(y) * stride_; }
  const std::uint8_t* Row(int y) const {
    return data_.data() + static_cast<std::size_t>(y) * stride_;
  }
  std::uint8_t* Bits() { return data_.data(); }
  const std::uint8_t* Bits() const { return data_.data(); }

  void Fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red);
  void FillWhite() { Fill(255, 255, 255); }

  // Opaque copy of the whole source with its top-left at (x, y); what falls
  // outside this bitmap is clipped.
  void Draw(const TBitmap24& source, int x, int y);

  // Pixel access for tests and small tools (bounds not checked).
  struct Pixel {
    std::uint8_t b, g, r;
    bool operator==(const Pixel&) const = default;
  };
  Pixel GetPixel(int x, int y) const;
  void SetPixel(int x, int y, Pixel p);

  std::recursive_mutex& CanvasMutex() const { return canvas_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t> data_;
  mutable std::recursive_mutex canvas_;
};

// The bitmap turned by quarters quarter turns to the left (counter-
// clockwise); lossless. Negative values turn to the right.
TBitmap24 TurnQuarters(const TBitmap24& source, int quarters);

// Holds a bitmap's canvas lock for one drawing step.
class CanvasLock {
 public:
  explicit CanvasLock(const TBitmap24& bitmap) : lock_(bitmap.CanvasMutex()) {}

 private:
  std::lock_guard<std::recursive_mutex> lock_;
};

// Rectangle of pixels where a source of size (w, h) placed at (x, y) meets a
// target of size (tw, th), in source coordinates; empty when they miss.
struct TClip {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // source columns [x0, x1), rows [y0, y1)
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
TClip ClipPlacement(int w, int h, int x, int y, int tw, int th);

}  // namespace kalvane
