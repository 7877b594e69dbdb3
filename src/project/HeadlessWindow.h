#pragma once

#include <memory>
#include <string>

#include "document/BandManagement.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "project/LoaderSeams.h"

namespace kalvane {

// The project document without a window: what the loaders and the exporter
// work on from the command line, in benchmarks and in tests. The window
// parts do nothing; derive to watch them.
class THeadlessWindow : public ILoaderWindow, private IControlParent {
 public:
  THeadlessWindow();
  TLayerManagement& LayerItems() override { return Items; }
  TGuideManagement& GuideLines() override { return Guides; }
  TBandManagement& TrimBox() override { return Box; }
  void HideItemPanel() override {}
  void ForgetProjectPath() override {}
  void RepaintWorkArea() override {}
  void SetItemPanelRefresh(bool) override {}
  void ShowItemPanel() override {}
  void SetCaption(const std::string& caption) override { Caption = caption; }
  void RepaintWindow() override {}
  void UpdateCommandStates() override {}
  void MarkSaved() override {}
  void MarkModified() override {}
  // Empties the project as a new project does.
  void ResetProject() override;
  void FocusWindow() override {}
  std::unique_ptr<IProgress> CreateProgress() override;

  TBitmap24& WorkBitmap() { return Work; }
  std::string Caption;

 protected:
  TSize ClientSize() const override { return PanelSize; }
  TSize PanelSize{640, 480};
  TBitmap24 Work;
  TLayerManagement Items;
  TGuideManagement Guides;
  TBandManagement Box;
};

}  // namespace kalvane
