#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>

#include "base/Seams.h"
#include "document/AutoAlign.h"
#include "project/ProjectDocument.h"
#include "ui/WindowDialogs.h"

class QWidget;

namespace kalvane::ui {

class TExecProgress;
struct TAlignJob;

// The automatic alignment of the editor: measures on a worker behind a
// progress window that can stop it, gives the items their offsets by id as
// one step of the history, and tells what it did.
class TAlignController {
 public:
  TAlignController(TProjectDocument& document, IWindowDialogs& dialogs, IGuiDispatcher& dispatcher,
                   QWidget* owner);
  ~TAlignController();
  TAlignController(const TAlignController&) = delete;
  TAlignController& operator=(const TAlignController&) = delete;

  // Called when a run starts and when its offsets are in; `Finished` once
  // the user has read what it did.
  std::function<void()> StateChanged, Finished;

  // The caller checks that nothing else uses the items.
  void Start(const TAlignRegion& region);
  bool Running() const { return Job != nullptr; }
  // Stops a run at its next photo; nothing changes.
  void Cancel();
  TExecProgress* ProgressWindow() const;
  // How sure the last finished run was of each item it found doubtful.
  const std::map<TItemId, int>& Doubtful() const { return DoubtfulItems; }

 private:
  void Ended();

  TProjectDocument& Document;
  IWindowDialogs& Dialogs;
  IGuiDispatcher& Dispatcher;
  QWidget* Owner = nullptr;
  std::unique_ptr<TAlignJob> Job;
  std::map<TItemId, int> DoubtfulItems;
};

}  // namespace kalvane::ui
