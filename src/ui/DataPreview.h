#pragma once

#include <QObject>
#include <QTimer>

namespace kalvane {
class TProjectDocument;
struct TViewState;
}  // namespace kalvane

namespace kalvane::ui {

// What the simple preview needs of the window it plays in.
class IPreviewHost {
 public:
  virtual ~IPreviewHost() = default;
  virtual TProjectDocument& PreviewDocument() = 0;
  // The image lock is held while it plays.
  virtual TViewState& PreviewView() = 0;
  // The commands and the work area's controls follow the preview's state.
  virtual void PreviewStateChanged() = 0;
  // The item list is put away while it plays.
  virtual void ShowItemList(bool shown) = 0;
  virtual void RepaintCanvas() = 0;
};

// The simple preview: plays the items in the work area one after another,
// in list order and round again, with the outside of the trimming box
// shaded and nearly every command off until it stops.
class TDataPreview : public QObject {
  Q_OBJECT
 public:
  explicit TDataPreview(QObject* parent = nullptr);
  void SetHost(IPreviewHost* host) { Host = host; }
  // Only values above 9 ms are taken; effective at once, also while playing.
  void SetInterval(int ms);
  int Interval() const { return interval; }
  void StartPlayback();
  void StopPlayback();
  void SetIdle(bool idle);
  bool IsIdle() const { return idle; }
  bool Playing() const { return Timer.isActive(); }
  int NextIndex() const { return nextIndex; }
  // One frame: the next item shown, the one after it chosen.
  void Tick();

 private:
  void DisableControls();
  void RestoreControls();

  IPreviewHost* Host = nullptr;
  bool idle = true;
  bool controlsSaved = false;
  QTimer Timer;
  int nextIndex = 0;
  int interval = 100;
  bool savedImageLocked = true;
};

// 1000 / rate, halves to even; 0 for a rate that is not a number above 0.
int PreviewInterval(const std::string& rate);

}  // namespace kalvane::ui
