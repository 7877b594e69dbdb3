#pragma once

#include <functional>
#include <memory>

#include "base/Seams.h"

namespace kalvane {
class TLoadThread;
class TProjectDocument;
}  // namespace kalvane

namespace kalvane::ui {

class IWindowDialogs;

// Runs the editor's loaders (a project's photos, photos added), one at a
// time, on a worker: the loader shows its own progress window, puts the
// photos in the document and says what it could not read.
class TLoaderController {
 public:
  TLoaderController(TProjectDocument& document, IWindowDialogs& dialogs,
                    IGuiDispatcher& dispatcher);
  TLoaderController(const TLoaderController&) = delete;
  TLoaderController& operator=(const TLoaderController&) = delete;

  // A load started (the commands follow it) and one ended.
  std::function<void()> Started, Ended;

  // Nothing when one runs already.
  void Start(std::shared_ptr<TLoadThread> loader);
  bool Running() const { return Loader != nullptr; }
  // Stops the running load at its next photo; it ends as usual.
  void Cancel();

 private:
  TProjectDocument& Document;
  IWindowDialogs& Dialogs;
  IGuiDispatcher& Dispatcher;
  std::shared_ptr<TLoadThread> Loader;
};

}  // namespace kalvane::ui
