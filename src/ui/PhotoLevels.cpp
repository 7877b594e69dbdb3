#include "ui/PhotoLevels.h"

#include <algorithm>
#include <cmath>

#include "base/Round.h"
#include "imaging/Bitmap24.h"
#include "imaging/ImageKit.h"

namespace kalvane::ui {

namespace {

QImage ToQImage(const TIKImage& image, bool grey) {
  const TBitmap24 bitmap = IKBitmapFromDib(image);
  if (bitmap.IsEmpty()) return {};
  QImage out(bitmap.Width(), bitmap.Height(),
             grey ? QImage::Format_Grayscale8 : QImage::Format_BGR888);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* in = bitmap.Row(y);
    if (!grey) {
      std::copy_n(in, static_cast<std::size_t>(bitmap.Width()) * 3, out.scanLine(y));
      continue;
    }
    // The monochrome copies' luma, so the view is theirs to the grey level.
    std::uint8_t* line = out.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, in += 3)
      line[x] = IKLuma(in[2], in[1], in[0]);
  }
  return out;
}

bool QuarterTurn(int angle) {
  return angle % 9000 == 0;
}

}  // namespace

TPhotoLevels::~TPhotoLevels() {
  {
    const std::lock_guard<std::mutex> hold(mutex);
    stopping = true;
  }
  wake.notify_all();
  // Joined before the object goes, so a queued arrival always has its
  // receiver (or is dropped with it).
  for (std::thread& t : workers)
    t.join();
}

QSize TPhotoLevels::TurnedSize(const std::string& path, int angle) {
  const auto key = std::make_pair(path, angle);
  if (const auto it = sizes.find(key); it != sizes.end()) return it->second;
  QSize size;
  if (const auto info = IKFileType(path)) {
    const TIKFileInfo turned = IKRotatedSize(info->width, info->height, angle);
    size = {turned.width, turned.height};
  }
  sizes[key] = size;
  return size;
}

std::vector<const TPhotoLevels::TPiece*> TPhotoLevels::Cover(const std::string& path, int angle,
                                                             int shrink, QRectF part,
                                                             bool* complete, bool grey) {
  std::vector<const TPiece*> pieces;
  bool all = true;
  const QSize turned = TurnedSize(path, angle);
  part = part.intersected(QRectF(QPointF(), QSizeF(turned)));
  if (!part.isEmpty()) {
    if (!QuarterTurn(angle)) {
      // Turned by another angle the photo is made whole: a tile would turn
      // all of it again.
      const TPiece* whole = Get({path, angle, shrink, -1, -1, grey}, turned);
      if (whole) pieces.push_back(whole);
      all = whole && !whole->Image.isNull();
    } else {
      const double side = static_cast<double>(kTile) * shrink;  // photo pixels
      const int x0 = static_cast<int>(std::floor(part.left() / side));
      const int y0 = static_cast<int>(std::floor(part.top() / side));
      const int x1 = static_cast<int>(std::ceil(part.right() / side));
      const int y1 = static_cast<int>(std::ceil(part.bottom() / side));
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
          const TPiece* tile = Get({path, angle, shrink, x, y, grey}, turned);
          if (tile) pieces.push_back(tile);
          all = all && tile && !tile->Image.isNull();
        }
      }
    }
  }
  if (complete) *complete = all;
  return pieces;
}

const TPhotoLevels::TPiece* TPhotoLevels::Get(const TKey& key, QSize turned) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->Key == key) {
      entries.splice(entries.begin(), entries, it);
      return it->Ready ? &it->Piece : nullptr;
    }
  }
  entries.push_front({key, false, {}});
  // Ready pieces beyond the kept bytes go, the least recently asked
  // first; one still being made stays until it arrives.
  std::size_t kept = 0;
  for (auto it = entries.begin(); it != entries.end();) {
    if (it->Ready) kept += static_cast<std::size_t>(it->Piece.Image.sizeInBytes());
    if (!it->Ready || kept <= kKeptBytes) {
      ++it;
    } else {
      it = entries.erase(it);
    }
  }
  ++pending;
  std::vector<TKey> dropped;
  {
    const std::lock_guard<std::mutex> hold(mutex);
    queue.push_back({key, turned});
    // Panning far asks for many tiles; those long out of view are not made.
    while (queue.size() > kQueued) {
      dropped.push_back(queue.front().Key);
      queue.pop_front();
    }
    if (workers.empty()) {
      for (int i = 0; i < 2; ++i)
        workers.emplace_back([this] { Work(); });
    }
  }
  wake.notify_one();
  for (const TKey& gone : dropped) {
    entries.remove_if([&gone](const TEntry& e) { return !e.Ready && e.Key == gone; });
    --pending;
  }
  return nullptr;
}

void TPhotoLevels::Work() {
  for (;;) {
    TJob job;
    {
      std::unique_lock<std::mutex> hold(mutex);
      wake.wait(hold, [this] { return stopping || !queue.empty(); });
      if (stopping) return;
      job = std::move(queue.back());
      queue.pop_back();
    }
    const TKey& k = job.Key;
    TPiece piece;
    if (k.X < 0) {
      // The photo decoded at the level, then turned.
      const auto info = IKFileType(k.Path);
      if (info) {
        const int w = std::max(RoundInt(static_cast<double>(info->width) / k.Shrink), 1);
        const int h = std::max(RoundInt(static_cast<double>(info->height) / k.Shrink), 1);
        const TIKImage scaled = IKFileLoadScaled(k.Path, *info, w, h);
        piece.Image = ToQImage(IKRotationEx(scaled, k.Angle), k.Grey);
        const double perPixel = static_cast<double>(w) / info->width;
        piece.Photo = {0, 0, piece.Image.width() / perPixel, piece.Image.height() / perPixel};
      }
    } else {
      // The tile's part of the turned photo, cut at the level (a tile at
      // the photo's right or bottom edge is cut short there).
      const int side = kTile * k.Shrink;
      const int left = k.X * side, top = k.Y * side;
      const int w = std::min(kTile, (job.Turned.width() - left + k.Shrink - 1) / k.Shrink);
      const int h = std::min(kTile, (job.Turned.height() - top + k.Shrink - 1) / k.Shrink);
      if (w > 0 && h > 0) {
        const double right = left + static_cast<double>(w) * k.Shrink;
        const double bottom = top + static_cast<double>(h) * k.Shrink;
        piece.Image = ToQImage(
            IKTrimFrameFine(k.Path, k.Angle,
                            {static_cast<double>(left), static_cast<double>(top), right, bottom}, w,
                            h),
            k.Grey);
        piece.Photo = QRectF(left, top, right - left, bottom - top);
      }
    }
    Gui.Post(
        [this, key = k, piece = std::move(piece)]() mutable { Arrived(key, std::move(piece)); });
  }
}

void TPhotoLevels::Arrived(const TKey& key, TPiece piece) {
  ++made;
  for (TEntry& e : entries) {
    if (e.Key == key && !e.Ready) {
      e.Piece = std::move(piece);
      e.Ready = true;
      --pending;
      break;
    }
  }
  if (OnReady) OnReady();
}

}  // namespace kalvane::ui
