#pragma once

#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSize>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qt/QtDispatcher.h"

namespace kalvane::ui {

// The photos at 1/1, 1/2, 1/4 or 1/8 of their size, turned as the project
// turns them, for the canvas zoomed beyond its work bitmap. A photo turned
// by quarter turns is made in tiles, only those in view, each decoded once
// (a JPEG only in the rows and columns the tile shows); one turned by
// another angle is made whole. Pieces are made by two workers, newest
// request first, and kept while they are among the last asked for, so
// panning back decodes nothing again.
class TPhotoLevels : public QObject {
  Q_OBJECT
 public:
  static constexpr int kTile = 512;  // level pixels along a tile's side
  // Bytes of ready pieces kept: 128 colour tiles, or three times as many
  // grey ones (the monochrome view shows many photos at once).
  static constexpr std::size_t kKeptBytes = std::size_t{128} * kTile * kTile * 3;
  static constexpr std::size_t kQueued = 160;  // requests waiting; older ones are dropped
  explicit TPhotoLevels(QObject* parent = nullptr) : QObject(parent) {}
  ~TPhotoLevels() override;

  struct TPiece {
    QImage Image;  // empty when it could not be made
    QRectF Photo;  // the part of the turned photo it shows, in photo pixels
  };
  // The pieces of the level that cover `part` (turned photo pixels) and
  // are ready; the others are started. `complete` tells whether all were,
  // and made.
  // `grey`: pieces of one byte a pixel, the luma (the monochrome view's).
  std::vector<const TPiece*> Cover(const std::string& path, int angle, int shrink, QRectF part,
                                   bool* complete = nullptr, bool grey = false);
  // Called on the GUI thread when a piece has been made.
  std::function<void()> OnReady;
  // Pieces asked for and not yet made.
  int Pending() const { return pending; }
  // Pieces made so far, whole photos and tiles (tests count decodes).
  int Made() const { return made; }

 private:
  struct TKey {
    std::string Path;
    int Angle = 0, Shrink = 1;
    int X = -1, Y = -1;  // the tile; -1, -1 for the whole photo
    bool Grey = false;
    bool operator==(const TKey&) const = default;
  };
  struct TEntry {
    TKey Key;
    bool Ready = false;
    TPiece Piece;
  };
  const TPiece* Get(const TKey& key, QSize turned);
  QSize TurnedSize(const std::string& path, int angle);
  void Work();
  void Arrived(const TKey& key, TPiece piece);

  std::list<TEntry> entries;  // most recently asked first
  std::map<std::pair<std::string, int>, QSize> sizes;
  int pending = 0, made = 0;

  struct TJob {
    TKey Key;
    QSize Turned;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<TJob> queue;  // newest at the back
  bool stopping = false;
  std::vector<std::thread> workers;
  qt::TQtDispatcher Gui{this};  // the pieces made, handed to this thread
};

}  // namespace kalvane::ui
