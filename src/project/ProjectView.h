#pragma once

#include <memory>
#include <string>

#include "base/Seams.h"

namespace kalvane {

// What the project document and its loaders need of a window: the caption,
// the item panel, repainting, focus and a progress reporter. Every call
// comes on the GUI thread.
class IProjectView {
 public:
  virtual ~IProjectView() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetItemPanelRefresh(bool on) = 0;
  virtual void ShowItemPanel() = 0;
  virtual void HideItemPanel() = 0;
  virtual void RepaintWorkArea() = 0;
  virtual void RepaintWindow() = 0;
  virtual void FocusWindow() = 0;
  // A reporter owned by the caller, made on the GUI thread.
  virtual std::unique_ptr<IProgress> CreateProgress() = 0;
  // Something the user should know that needs no answer.
  virtual void ShowWarning(const std::string& /*text*/) {}
};

// No window: the command line, benchmarks and tests. Keeps the caption;
// derive to watch the rest.
class THeadlessView : public IProjectView {
 public:
  void SetCaption(const std::string& caption) override { Caption = caption; }
  void SetItemPanelRefresh(bool) override {}
  void ShowItemPanel() override {}
  void HideItemPanel() override {}
  void RepaintWorkArea() override {}
  void RepaintWindow() override {}
  void FocusWindow() override {}
  std::unique_ptr<IProgress> CreateProgress() override {
    return std::make_unique<TProgressModel>();
  }
  std::string Caption;
};

}  // namespace kalvane
