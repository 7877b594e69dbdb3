#include "ui/DataPreview.h"

#include <charconv>
#include <string>

#include "base/Round.h"
#include "project/Commands.h"
#include "project/ProjectDocument.h"

namespace kalvane::ui {

int PreviewInterval(const std::string& rate) {
  int value = 0;
  const auto [end, ec] = std::from_chars(rate.data(), rate.data() + rate.size(), value);
  if (ec != std::errc() || end != rate.data() + rate.size() || value <= 0) return 0;
  return RoundInt(1000.0 / value);
}

TDataPreview::TDataPreview(QObject* parent) : QObject(parent) {
  Timer.setInterval(interval);
  connect(&Timer, &QTimer::timeout, this, &TDataPreview::Tick);
}

void TDataPreview::SetInterval(int ms) {
  if (ms <= 9) return;
  interval = ms;
  Timer.setInterval(ms);
}

void TDataPreview::SetIdle(bool on) {
  idle = on;
  if (on) {
    RestoreControls();
  } else {
    DisableControls();
  }
}

// The commands and the work area follow the preview's state (the box and
// the guides give way to the shades); the image lock is held here while
// it plays.
void TDataPreview::DisableControls() {
  if (!Host) return;
  controlsSaved = true;
  Host->PreviewStateChanged();
  savedImageLocked = Host->PreviewView().ImageLocked;
  Host->PreviewView().ImageLocked = true;
  Host->PreviewStateChanged();
}

void TDataPreview::RestoreControls() {
  if (!Host || !controlsSaved) return;
  Host->PreviewView().ImageLocked = savedImageLocked;
  Host->PreviewStateChanged();
}

void TDataPreview::StartPlayback() {
  if (!Host || !controlsSaved) return;
  TLayerManagement& items = Host->PreviewDocument().LayerItems();
  if (items.Count() == 0) return;
  Host->ShowItemList(false);
  items.SetAutoOverlay(false);
  const TLayerItemObject* current = items.GetSelected();
  nextIndex = current ? current->GetIndex() : 0;
  Timer.start();
}

void TDataPreview::StopPlayback() {
  if (!Host) return;
  Timer.stop();
  Host->ShowItemList(true);
  Host->PreviewDocument().LayerItems().SetAutoOverlay(true);
}

void TDataPreview::Tick() {
  if (!Host) return;
  TLayerManagement& items = Host->PreviewDocument().LayerItems();
  const int count = items.Count();
  if (count == 0) return;
  // An item whose photo has gone cannot be selected: it is passed over,
  // so playback neither stops nor stalls on it.
  for (int tries = 0; tries < count; ++tries) {
    if (nextIndex >= count) nextIndex = 0;
    items.SelectIndex(nextIndex);
    const TLayerItemObject* shown = items.GetSelected();
    nextIndex = (nextIndex + 1) % count;
    if (shown) break;
  }
  items.Render();
  Host->RepaintCanvas();
}

}  // namespace kalvane::ui
