#include "ui/PhotoLevels.h"

#include <algorithm>
#include <cmath>

#include "base/Round.h"
#include "imaging/Bitmap24.h"
#include "imaging/ImageKit.h"

namespace kalvane::ui {

namespace {

TPhotoLevels::TLevel Decode(const std::string& path, int angle, int shrink) {
  TPhotoLevels::TLevel level;
  const auto info = IKFileType(path);
  if (!info) return level;
  const int w = std::max(RoundInt(static_cast<double>(info->width) / shrink), 1);
  const int h = std::max(RoundInt(static_cast<double>(info->height) / shrink), 1);
  const TIKImage scaled = IKFileLoadScaled(path, *info, w, h);
  if (scaled.IsEmpty()) return level;
  const TBitmap24 turned =
      angle % 36000 == 0 ? IKBitmapFromDib(scaled) : IKBitmapFromDib(IKRotationEx(scaled, angle));
  if (turned.IsEmpty()) return level;
  QImage image(turned.Width(), turned.Height(), QImage::Format_BGR888);
  for (int y = 0; y < turned.Height(); ++y)
    std::copy_n(turned.Row(y), static_cast<std::size_t>(turned.Width()) * 3, image.scanLine(y));
  level.Image = std::move(image);
  level.PerPixel = static_cast<double>(w) / info->width;
  return level;
}

}  // namespace

TPhotoLevels::~TPhotoLevels() {
  for (std::thread& t : workers)
    t.join();
}

const TPhotoLevels::TLevel* TPhotoLevels::Get(const std::string& path, int angle, int shrink) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->Path == path && it->Angle == angle && it->Shrink == shrink) {
      entries.splice(entries.begin(), entries, it);
      return it->Ready ? &it->Level : nullptr;
    }
  }
  entries.push_front({path, angle, shrink, false, {}});
  // Ready levels beyond the kept number go; one still being made stays
  // until it arrives.
  for (auto it = std::next(entries.begin()); entries.size() > kKept && it != entries.end();) {
    it = it->Ready ? entries.erase(it) : std::next(it);
  }
  if (pending == 0) {
    for (std::thread& t : workers)
      t.join();
    workers.clear();
  }
  ++pending;
  workers.emplace_back([this, path, angle, shrink] {
    TLevel level = Decode(path, angle, shrink);
    // The destructor joins this thread before the dispatcher goes, so the
    // step always has its receiver (or is dropped with it).
    Gui.Post([this, path, angle, shrink, level = std::move(level)]() mutable {
      --pending;
      for (TEntry& e : entries) {
        if (e.Path == path && e.Angle == angle && e.Shrink == shrink && !e.Ready) {
          e.Level = std::move(level);
          e.Ready = true;
        }
      }
      if (OnReady) OnReady();
    });
  });
  return nullptr;
}

}  // namespace kalvane::ui
