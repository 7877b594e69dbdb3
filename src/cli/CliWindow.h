#pragma once

#include <memory>
#include <optional>
#include <string>

#include "document/BandManagement.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "export/Progress.h"
#include "project/LoaderSeams.h"

namespace kalvane::cli {

// The project document without a window: what the loaders and exporters
// work on when run from the command line.
class TCliWindow : public ILoaderWindow, private IControlParent {
 public:
  TCliWindow();
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
  void ResetProject() override;
  void FocusWindow() override {}
  std::unique_ptr<IProgress> CreateProgress() override;

  TBitmap24& WorkBitmap() { return Work; }
  std::string Caption;

 private:
  TSize ClientSize() const override { return {0, 0}; }
  TBitmap24 Work;
  TLayerManagement Items;
  TGuideManagement Guides;
  TBandManagement Box;
};

// Answers the loaders' questions without a person: a moved photo is looked
// for in one folder (and that folder is used for the rest); without one, a
// moved photo ends the load.
class TBatchDialogs : public IDialogs {
 public:
  explicit TBatchDialogs(std::string searchFolder);
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void Warn(const std::string& caption, const std::string& text) override;
  void Inform(const std::string& caption, const std::string& text) override;
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& fileName) override;

 private:
  std::string Folder;
};

// A bar on stderr when it is a terminal; silent otherwise.
std::unique_ptr<TProgressModel> MakeTerminalProgress();

}  // namespace kalvane::cli
