#include "ui/LoaderController.h"

#include "project/LoadThread.h"
#include "ui/WindowDialogs.h"

namespace kalvane::ui {

TLoaderController::TLoaderController(TProjectDocument& document, IWindowDialogs& dialogs,
                                     IGuiDispatcher& dispatcher)
    : Document(document), Dialogs(dialogs), Dispatcher(dispatcher) {}

void TLoaderController::Start(std::shared_ptr<TLoadThread> loader) {
  if (Loader || !loader) return;
  loader->SetMainWindow(&Document);
  loader->SetDispatcher(&Dispatcher);
  loader->SetDialogs(&Dialogs);
  Loader = loader;
  if (Started) Started();
  loader->Start([this] {
    Loader.reset();
    if (Ended) Ended();
  });
}

void TLoaderController::Cancel() {
  if (Loader) Loader->Cancel();
}

}  // namespace kalvane::ui
