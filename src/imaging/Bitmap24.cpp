#include "imaging/Bitmap24.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace kalvane {

namespace {
std::size_t StrideFor(int width) {
  return (static_cast<std::size_t>(std::max(width, 0)) * 3 + 3) & ~std::size_t{3};
}
}  // namespace

TBitmap24::TBitmap24(int width, int height) {
  SetSize(width, height);
}

// Copies hold the source's canvas lock, so a bitmap another thread is
// drawing into is copied whole, never half drawn.
TBitmap24::TBitmap24(const TBitmap24& other) {
  CanvasLock lock(other);
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  data_ = other.data_;
}

TBitmap24& TBitmap24::operator=(const TBitmap24& other) {
  if (this != &other) {
    std::scoped_lock locks(canvas_, other.canvas_);  // both, in no fixed order, without deadlock
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    data_ = other.data_;
  }
  return *this;
}

TBitmap24::TBitmap24(TBitmap24&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)),
      data_(std::move(other.data_)) {}

TBitmap24& TBitmap24::operator=(TBitmap24&& other) noexcept {
  if (this != &other) {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    stride_ = std::exchange(other.stride_, 0);
    data_ = std::move(other.data_);
  }
  return *this;
}

void TBitmap24::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  stride_ = StrideFor(width);
  data_.assign(stride_ * static_cast<std::size_t>(height), 0);
}

void TBitmap24::Fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  if (IsEmpty()) return;
  if (blue == green && green == red) {
    std::memset(data_.data(), blue, data_.size());
    return;
  }
  std::uint8_t* row = Row(0);
  for (int x = 0; x < width_; ++x) {
    row[3 * x] = blue;
    row[3 * x + 1] = green;
    row[3 * x + 2] = red;
  }
  for (int y = 1; y < height_; ++y)
    std::memcpy(Row(y), row, stride_);
}

TClip ClipPlacement(int w, int h, int x, int y, int tw, int th) {
  TClip c;
  // 64-bit so far-away offsets cannot overflow
  const long long lx = x, ly = y;
  c.x0 = static_cast<int>(std::clamp<long long>(-lx, 0, w));
  c.y0 = static_cast<int>(std::clamp<long long>(-ly, 0, h));
  c.x1 = static_cast<int>(std::clamp<long long>(tw - lx, 0, w));
  c.y1 = static_cast<int>(std::clamp<long long>(th - ly, 0, h));
  return c;
}

void TBitmap24::Draw(const TBitmap24& source, int x, int y) {
  const TClip c = ClipPlacement(source.width_, source.height_, x, y, width_, height_);
  if (c.Empty()) return;
  const std::size_t bytes = static_cast<std::size_t>(c.x1 - c.x0) * 3;
  for (int sy = c.y0; sy < c.y1; ++sy) {
    std::memcpy(Row(sy + y) + static_cast<std::size_t>(c.x0 + x) * 3,
                source.Row(sy) + static_cast<std::size_t>(c.x0) * 3, bytes);
  }
}

TBitmap24 TurnQuarters(const TBitmap24& source, int quarters) {
  const int q = ((quarters % 4) + 4) % 4;
  if (q == 0) return source;
  const int w = source.Width(), h = source.Height();
  TBitmap24 out(q == 2 ? w : h, q == 2 ? h : w);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = source.Row(y);
    for (int x = 0; x < w; ++x, s += 3) {
      // where source pixel (x, y) lands
      int tx = 0, ty = 0;
      if (q == 1) {
        tx = y;
        ty = w - 1 - x;
      } else if (q == 2) {
        tx = w - 1 - x;
        ty = h - 1 - y;
      } else {
        tx = h - 1 - y;
        ty = x;
      }
      std::uint8_t* d = out.Row(ty) + static_cast<std::size_t>(tx) * 3;
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
  return out;
}

TBitmap24::Pixel TBitmap24::GetPixel(int x, int y) const {
  const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 3;
  return {p[0], p[1], p[2]};
}

void TBitmap24::SetPixel(int x, int y, Pixel p) {
  std::uint8_t* q = Row(y) + static_cast<std::size_t>(x) * 3;
  q[0] = p.b;
  q[1] = p.g;
  q[2] = p.r;
}

}  // namespace kalvane
