#include "project/FormManagement.h"

#include <initializer_list>

namespace kalvane {

void TFormManagement::MarkSaved() {
  Saved = true;
  ShowSavedState();
}

void TFormManagement::MarkModified() {
  Saved = false;
  ShowSavedState();
}

void TFormManagement::ShowSavedState() {
  if (!MainWindow) return;
  MainWindow->SetCommandEnabled("btnSave", !Saved);
  MainWindow->SetCommandEnabled("FM3", !Saved);
}

void TFormManagement::UpdateCommandStates() {
  if (!MainWindow) return;
  ICommandView& w = *MainWindow;
  const bool items = w.ItemCount() > 0;
  for (const char* name : {"flmLayer", "pboxDrag"})
    w.SetControlVisible(name, items);
  for (const char* name : {"btnNewProject", "FM1", "btnSaveAs", "FM4", "btnFlashExport", "FM5",
                           "btnDesignExport", "FM7", "btnMFlashExport", "FM9", "FM10"}) {
    w.SetCommandEnabled(name, items);
  }
  for (const char* name : {"LM2", "LM3", "LM4", "LM5", "LM6", "LM9", "LM10"}) {
    w.SetCommandEnabled(name, items);
  }
  const bool mono = items && w.IsButtonDown("btnLayerMono");
  w.SetCommandEnabled("LM7", mono);
  w.SetCommandEnabled("LM8", mono);
  if (!items && w.IsButtonDown("btnLayerMono")) {
    // monochrome display goes off with the last item
    w.SetButtonDown("btnLayerMono", false);
    w.ClickButton("btnLayerMono");
  }
  for (const char* name :
       {"btnLayerTrash", "btnLayerTrashAll", "btnLayerUp", "btnLayerDown", "btnLayerReverse",
        "btnLayerRotate1", "btnLayerRotate2", "btnLayerMono"}) {
    w.SetCommandEnabled(name, items);
  }
  for (const char* name :
       {"W1", "btnImageLock", "btnTrimShow", "btnTrimLock", "btnGuideShow", "btnGuideLock"}) {
    w.SetCommandEnabled(name, items);
  }
  w.ShowTrimBox(items && w.IsButtonDown("btnTrimShow"));
  w.ShowGuides(items && w.IsButtonDown("btnGuideShow"));
  for (const char* name : {"btnHTMLPreview", "btnPreview", "cmbFrameRate", "OM1", "OM2"}) {
    w.SetCommandEnabled(name, items);
  }
}

}  // namespace kalvane
