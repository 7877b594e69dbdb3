#include "document/LayerItemObject.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/Round.h"
#include "document/AutoAlign.h"
#include "imaging/ImageKit.h"

namespace kalvane {

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// d for every |s - t| in 0..255, so the blends do no floating point per pixel.
std::array<int, 256> DifferenceTable(double factor) {
  std::array<int, 256> table{};
  for (int i = 0; i < 256; ++i)
    table[static_cast<std::size_t>(i)] = RoundInt(i * factor);
  return table;
}

std::uint64_t NextGeneration() {
  static std::atomic<std::uint64_t> counter{0};
  return ++counter;
}

inline std::uint8_t ClampByte(int v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

void TLayerItemObject::SetSelected(bool selected) {
  // Clearing always works: an item whose photo went must not stay current
  // for ever and take the drags meant for another.
  if (!selected || FileExists(FileName)) Selected = selected;
}

void TLayerItemObject::SetRotation(std::int32_t angle) {
  // 64-bit: a stored angle near the int range must not overflow the difference.
  const long long difference = static_cast<long long>(angle) - Rotation;
  Rotate(static_cast<std::int32_t>(difference % 36000));
  Rotation = angle;
}

void TLayerItemObject::SetOffset(TPoint offset) {
  Offset = {ClampOffset(offset.X), ClampOffset(offset.Y)};
  Fine = {Offset.X / Scale, Offset.Y / Scale};
}

void TLayerItemObject::SetFineOffset(TPointF fine) {
  const double limit = kMaxOffset / Scale;
  auto held = [limit](double v) { return std::isfinite(v) ? std::clamp(v, -limit, limit) : 0.0; };
  Fine = {held(fine.X), held(fine.Y)};
  Offset = {ClampOffset(RoundInt(Fine.X * Scale)), ClampOffset(RoundInt(Fine.Y * Scale))};
}

void TLayerItemObject::SetScale(double scale) {
  if (scale > 0.0 && scale <= 1.0) Scale = scale;
}

TLayerItemObject::TLayerItemObject() {
  static std::atomic<TItemId> next{1};
  Id = next++;
}

bool TLayerItemObject::LoadFromFile(const std::string& path, bool copies) {
  if (!FileExists(path)) {
    Error = path + ": file not found";
    return false;
  }
  FileName = path;
  Generation = NextGeneration();
  DisplayBitmap.reset();
  MonoBitmap.reset();
  Reduced.reset();
  Error.clear();
  Header = {};

  const auto info = IKFileType(path, &Error);
  if (!info) return false;
  if (!copies) {
    Header = {info->width, info->height};
    return true;
  }
  const int w = std::max(RoundInt(info->width * Scale), 1);
  const int h = std::max(RoundInt(info->height * Scale), 1);
  std::optional<TIKReducedGrey> reduced;
  const TIKImage scaled = IKFileLoadScaled(
      path, *info, w, h, TAutoAlign::RefineShrink(std::max(info->width, info->height)), &reduced);
  if (scaled.IsEmpty()) {
    Error = scaled.Error();
    return false;
  }
  auto display = std::make_unique<TBitmap24>(IKBitmapFromDib(scaled));
  // The greyscale of the scaled image, taken from the display copy's rows.
  auto mono = std::make_unique<TBitmap24>(IKSetGray(*display));
  if (display->IsEmpty() || mono->Width() != display->Width() ||
      mono->Height() != display->Height()) {
    Error = path + ": cannot convert the decoded image";
    return false;
  }
  LightenMono(*mono);
  Generation = NextGeneration();
  DisplayBitmap = std::move(display);
  MonoBitmap = std::move(mono);
  if (reduced) Reduced = std::make_shared<const TIKReducedGrey>(std::move(*reduced));
  Header = {info->width, info->height};
  Rotate(Rotation);
  return true;
}

TSize TLayerItemObject::DisplaySize() const {
  if (DisplayBitmap) return {DisplayBitmap->Width(), DisplayBitmap->Height()};
  if (Header.Width <= 0 || Header.Height <= 0) return {};
  const int w = std::max(RoundInt(Header.Width * Scale), 1);
  const int h = std::max(RoundInt(Header.Height * Scale), 1);
  const TIKFileInfo turned = IKRotatedSize(w, h, Rotation);
  return {turned.width, turned.height};
}

namespace {

std::array<std::uint8_t, 256> LightenTable() {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c)
    table[static_cast<std::size_t>(c)] = ClampByte(c < 176 ? c + 80 : 255);
  return table;
}

}  // namespace

TBitmap24 MonoFromArgb(const std::uint32_t* pixels, int width, int height, std::size_t stride) {
  const std::array<std::uint8_t, 256> table = LightenTable();
  TBitmap24 mono(width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* in = pixels + static_cast<std::size_t>(y) * stride;
    std::uint8_t* out = mono.Row(y);
    for (int x = 0; x < width; ++x, out += 3) {
      const std::uint32_t p = in[x];
      out[0] = out[1] = out[2] =
          p >> 24 == 0 ? 0 : table[IKLuma(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF)];
    }
  }
  return mono;
}

void LightenMono(TBitmap24& bitmap) {
  const std::array<std::uint8_t, 256> table = LightenTable();
  const std::size_t bytes = static_cast<std::size_t>(bitmap.Width()) * 3;
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* row = bitmap.Row(y);
    for (std::size_t i = 0; i < bytes; ++i)
      row[i] = table[row[i]];
  }
}

void TLayerItemObject::Rotate(std::int32_t difference) {
  if (!DisplayBitmap || difference == 0) return;
  Generation = NextGeneration();
  for (TBitmap24* bitmap : {DisplayBitmap.get(), MonoBitmap.get()}) {
    if (!bitmap) continue;
    // Quarter turns directly on the rows: the same pixels, without the
    // round trip through the image library.
    TBitmap24 turned = difference % 9000 == 0
                           ? TurnQuarters(*bitmap, difference / 9000)
                           : IKBitmapFromDib(IKRotationEx(IKDibFromBitmap(*bitmap), difference));
    // A failed turn keeps the old copy rather than leaving the item blank.
    if (!turned.IsEmpty()) *bitmap = std::move(turned);
  }
}

void TLayerItemObject::DrawTo(TBitmap24& target) const {
  if (DisplayBitmap) target.Draw(*DisplayBitmap, Offset.X, Offset.Y);
}

void TLayerItemObject::DrawMonoDark(TBitmap24& target, double factor) const {
  BlendMono<false>(target, factor);
}

void TLayerItemObject::DrawMonoRed(TBitmap24& target, double factor) const {
  BlendMono<true>(target, factor);
}

template <bool kRed>
void TLayerItemObject::BlendMono(TBitmap24& target, double factor) const {
  if (MonoBitmap) BlendMonoPicture(*MonoBitmap, target, Offset, factor, kRed);
}

void BlendMonoPicture(const TBitmap24& source, TBitmap24& target, TPoint at, double factor,
                      bool red) {
  const TClip c =
      ClipPlacement(source.Width(), source.Height(), at.X, at.Y, target.Width(), target.Height());
  if (c.Empty()) return;
  const std::array<int, 256> table = DifferenceTable(factor);
  for (int y = c.y0; y < c.y1; ++y) {
    const std::uint8_t* s = source.Row(y) + static_cast<std::size_t>(c.x0) * 3;
    std::uint8_t* t = target.Row(y + at.Y) + static_cast<std::size_t>(c.x0 + at.X) * 3;
    for (int x = c.x0; x < c.x1; ++x, s += 3, t += 3) {
      const int sr = s[2], tr = t[2];
      if (sr == 0 || tr == 0) continue;
      const int d = table[static_cast<std::size_t>(std::abs(sr - tr))];
      t[0] = ClampByte(t[0] - d);
      t[1] = ClampByte(t[1] - d);
      t[2] = red ? ClampByte(tr + d) : ClampByte(tr - d);
    }
  }
}

}  // namespace kalvane
