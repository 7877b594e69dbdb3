#include "ui/DataPreview.h"

#include <QScrollArea>
#include <charconv>
#include <string>

#include "base/Round.h"
#include "ui/LayerList.h"
#include "ui/MainWindow.h"
#include "ui/WorkArea.h"

namespace kalvane::ui {

namespace {

// Off while playing, on again afterwards (those with a saved state aside).
const char* const kItemControls[] = {"btnLayerNew",     "btnLayerTrash",   "btnLayerTrashAll",
                                     "btnLayerUp",      "btnLayerDown",    "btnLayerRotate1",
                                     "btnLayerRotate2", "btnLayerReverse", "btnLayerMono"};
const char* const kOtherControls[] = {"tBarNoudo",
                                      "btnImageLock",
                                      "btnTrimShow",
                                      "btnTrimLock",
                                      "btnGuideShow",
                                      "btnGuideLock",
                                      "btnNewProject",
                                      "btnProjectOpen",
                                      "btnSaveAs",
                                      "btnFlashExport",
                                      "btnDesignExport",
                                      "btnMFlashExport",
                                      "F1",
                                      "L1",
                                      "W1",
                                      "OM1",
                                      "OM8",
                                      "H1",
                                      "pMenuWork2",
                                      "pMenuWork3",
                                      "pMenuWork4",
                                      "pMenuWork5",
                                      "pMenuWork6",
                                      "btnHTMLPreview"};

}  // namespace

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

void TDataPreview::DisableControls() {
  if (!Main) return;
  TfrmMain& w = *Main;
  controlsSaved = true;
  for (const char* name : kItemControls)
    w.SetCommandEnabled(name, false);
  savedAllVisible = w.IsCommandEnabled("btnAllVisible");
  savedAllUnVisible = w.IsCommandEnabled("btnAllUnVisible");
  w.SetCommandEnabled("btnAllVisible", false);
  w.SetCommandEnabled("btnAllUnVisible", false);
  savedSave = w.IsCommandEnabled("btnSave");
  w.SetCommandEnabled("btnSave", false);
  for (const char* name : kOtherControls)
    w.SetCommandEnabled(name, false);
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
  for (const char* name : kItemControls)
    w.SetCommandEnabled(name, true);
  for (const char* name : kOtherControls)
    w.SetCommandEnabled(name, true);
  w.SetCommandEnabled("btnAllVisible", savedAllVisible);
  w.SetCommandEnabled("btnAllUnVisible", savedAllUnVisible);
  w.SetCommandEnabled("btnSave", savedSave);
  TProjectDocument& doc = w.Document();
  doc.GuideLines().SetVisible(savedGuidesVisible);
  doc.TrimBox().SetVisible(savedBoxVisible);
  w.SetImageLocked(savedImageLocked);
  doc.TrimBox().SetShadesVisible(false);
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
