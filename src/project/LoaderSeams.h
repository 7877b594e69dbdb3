#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "export/Progress.h"

#include "project/ProjectDocument.h"

namespace kalvane {

// Runs a function on the GUI thread and waits for it. The window posts it
// to its event loop; tests and the command line call it directly.
class IGuiDispatcher {
 public:
  virtual ~IGuiDispatcher() = default;
  virtual void RunSync(const std::function<void()>& step) = 0;
};

class TDirectDispatcher : public IGuiDispatcher {
 public:
  void RunSync(const std::function<void()>& step) override { step(); }
};

// Questions, messages and file pickers. The window shows modal boxes
// (with the system beep first); tests answer from a script.
class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
  virtual void Warn(const std::string& caption, const std::string& text) = 0;
  virtual void Inform(const std::string& caption, const std::string& text) = 0;
  // A file to open; nothing when the user cancels. `fileName` is the name
  // being looked for, which the dialog may offer.
  virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                              const std::string& fileName) = 0;
};

// What the loaders need of the main window besides the document.
class ILoaderWindow : public IProjectWindow {
 public:
  virtual void SetItemPanelRefresh(bool on) = 0;
  virtual void ShowItemPanel() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void RepaintWindow() = 0;
  virtual void UpdateCommandStates() = 0;
  virtual void MarkSaved() = 0;
  virtual void MarkModified() = 0;
  virtual void ResetProject() = 0;
  virtual void FocusWindow() = 0;
  // A progress reporter owned by the window (made on the GUI thread).
  virtual std::unique_ptr<IProgress> CreateProgress() = 0;
};

inline constexpr const char* kQuestionCaption = "確認";
inline constexpr const char* kImageFilter =
    "画像ファイル(*.jpg;*.png;*.tif;*.gif;*.bmp)|*.jpg;*.png;*.tif;*.gif;*.bmp";

}  // namespace kalvane
