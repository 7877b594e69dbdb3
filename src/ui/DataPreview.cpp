#include "ui/DataPreview.h"

#include <QScrollArea>
#include <charconv>
#include <string>

#include "base/Round.h"
#include "ui/LayerList.h"
#include "ui/MainWindow.h"
#include "ui/WorkArea.h"

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

// The commands follow the preview's state (TfrmMain::UpdateCommands); the
// box, the guides and the image lock are held here while it plays.
void TDataPreview::DisableControls() {
  if (!Main) return;
  TfrmMain& w = *Main;
  controlsSaved = true;
  w.UpdateCommands();
  TProjectDocument& doc = w.Document();
  savedBoxVisible = doc.TrimBox().GetVisible();
  savedGuidesVisible = doc.GuideLines().GetVisible();
  savedImageLocked = w.ImageLocked();
  doc.GuideLines().SetVisible(false);
  doc.TrimBox().SetVisible(false);
  doc.TrimBox().SetShadesVisible(true);
  w.SetImageLocked(true);
  w.WorkArea().SyncControls();
}

void TDataPreview::RestoreControls() {
  if (!Main || !controlsSaved) return;
  TfrmMain& w = *Main;
  TProjectDocument& doc = w.Document();
  doc.GuideLines().SetVisible(savedGuidesVisible);
  doc.TrimBox().SetVisible(savedBoxVisible);
  w.SetImageLocked(savedImageLocked);
  doc.TrimBox().SetShadesVisible(false);
  w.UpdateCommands();
  w.WorkArea().SyncControls();
}

void TDataPreview::StartPlayback() {
  if (!Main || !controlsSaved) return;
  TLayerManagement& items = Main->Document().LayerItems();
  if (items.Count() == 0) return;
  Main->LayerList().scrLayerList->hide();
  Main->LayerList().SetAutoRefresh(false);
  items.SetAutoOverlay(false);
  const TLayerItemObject* current = items.GetSelected();
  nextIndex = current ? current->GetIndex() : 0;
  Timer.start();
}

void TDataPreview::StopPlayback() {
  if (!Main) return;
  Timer.stop();
  Main->LayerList().scrLayerList->show();
  Main->LayerList().SetAutoRefresh(true);
  Main->Document().LayerItems().SetAutoOverlay(true);
}

void TDataPreview::Tick() {
  if (!Main) return;
  TLayerManagement& items = Main->Document().LayerItems();
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
  Main->WorkArea().pboxMain->repaint();
}

}  // namespace kalvane::ui
