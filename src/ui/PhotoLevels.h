#pragma once

#include <QImage>
#include <QObject>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "qt/QtDispatcher.h"

namespace kalvane::ui {

// Photos decoded at 1/1, 1/2, 1/4 or 1/8 of their size and turned as the
// project turns them, for the canvas zoomed beyond its work bitmap. Each is
// decoded once, on a thread of its own, and kept while it is among the
// last few asked for, so panning decodes nothing again.
class TPhotoLevels : public QObject {
  Q_OBJECT
 public:
  static constexpr std::size_t kKept = 3;
  explicit TPhotoLevels(QObject* parent = nullptr) : QObject(parent) {}
  ~TPhotoLevels() override;

  struct TLevel {
    QImage Image;         // empty while it is decoded, or when it could not be
    double PerPixel = 0;  // level pixels per (turned) photo pixel
  };
  // The level if it is ready; otherwise starts it (once) and returns null.
  const TLevel* Get(const std::string& path, int angle, int shrink);
  // Called on the GUI thread when a level has been made.
  std::function<void()> OnReady;
  // The decodes under way (for tests that wait for them).
  int Pending() const { return pending; }

 private:
  struct TEntry {
    std::string Path;
    int Angle = 0, Shrink = 1;
    bool Ready = false;
    TLevel Level;
  };
  std::list<TEntry> entries;  // most recently asked first
  std::vector<std::thread> workers;
  int pending = 0;
  qt::TQtDispatcher Gui{this};  // the levels made, handed to this thread
};

}  // namespace kalvane::ui
