#include "ui/ProjectController.h"

#include "base/AppUtil.h"
#include "base/Texts.h"
#include "project/LoadThread.h"
#include "project/ProjectDocument.h"
#include "project/ProjectFlows.h"
#include "project/ProjectTexts.h"
#include "ui/LoaderController.h"
#include "ui/Texts.h"
#include "ui/WindowDialogs.h"

namespace kalvane::ui {

namespace {

// The flows' questions, asked with the window's dialogs.
class TWindowQuestions : public IFlowQuestions {
 public:
  explicit TWindowQuestions(IWindowDialogs& dialogs) : Dialogs(dialogs) {}
  bool ConfirmNew() override { return Dialogs.AskOkCancel(kQuestionCaption, kAskNewProject); }
  bool ConfirmDiscard() override { return Dialogs.AskOkCancel(kQuestionCaption, kAskOpenProject); }
  std::optional<std::string> PickSavePath() override {
    return Dialogs.PickSaveFile(kProjectFilter, "", "vpj");
  }
  bool ConfirmReplaceReadOnly(const std::string& path) override {
    return Dialogs.AskYesNo(kQuestionCaption, std::string(kAskReplaceReadOnly) + "\r" + path);
  }
  void SaveFailed(const std::string& reason) override {
    Dialogs.ShowError(kErrorCaption, std::string(kProjectSaveFailed) + "\r" + reason);
  }
  TCloseAnswer AskSaveOnClose() override {
    switch (Dialogs.AskYesNoCancel(kQuestionCaption, kAskSaveOnClose)) {
      case TAnswer::Yes:
        return TCloseAnswer::Save;
      case TAnswer::No:
        return TCloseAnswer::Discard;
      case TAnswer::Cancel:
        break;
    }
    return TCloseAnswer::Cancel;
  }

 private:
  IWindowDialogs& Dialogs;
};

}  // namespace

TProjectController::TProjectController(TProjectDocument& document, IWindowDialogs& dialogs,
                                       TLoaderController& loader)
    : Document(document),
      Dialogs(dialogs),
      Loader(loader),
      Questions(std::make_unique<TWindowQuestions>(dialogs)),
      Flows(std::make_unique<TProjectFlows>(document, *Questions)) {}

TProjectController::~TProjectController() = default;

void TProjectController::NewProject() {
  if (Loader.Running()) return;
  Flows->NewProject();
}

void TProjectController::AskOpenProject() {
  if (Loader.Running() || !Flows->MayDiscard()) return;
  const std::optional<std::string> path = Dialogs.PickProject("");
  if (path) OpenProject(*path, false);
}

void TProjectController::OpenSample() {
  const std::optional<std::string> path = Dialogs.PickProject(GetDataFolder() + "samples");
  if (path) OpenProject(*path, true);
}

void TProjectController::OpenProject(const std::string& path, bool ask) {
  if (Loader.Running() || !Flows->MayDiscard(ask)) return;
  Flows->BeginOpen(path);
  auto loader = std::make_shared<TPrjLoadThread>();
  loader->SetProjectPath(path);
  CommandLineFile.clear();
  Loader.Start(loader);
}

void TProjectController::PickAndAddImages() {
  std::vector<std::string> files = Dialogs.PickImages();
  if (!files.empty()) AddImages(std::move(files));
}

void TProjectController::AddImages(std::vector<std::string> files) {
  if (Loader.Running()) return;
  const bool hadItems = Document.LayerItems().Count() > 0;
  // The list is filled again once the photos are in.
  Document.View().HideItemPanel();
  Document.View().SetItemPanelRefresh(false);
  auto adder = std::make_shared<TPrjItemLoadThread>();
  adder->SetFiles(std::move(files));
  adder->SetInsertMode(hadItems);
  Loader.Start(adder);
}

void TProjectController::OpenDropped(const std::vector<std::string>& paths) {
  if (paths.empty() || Loader.Running()) return;
  const std::string& first = paths.front();
  if (paths.size() == 1 && first.size() >= 4 && first.compare(first.size() - 4, 4, ".vpj") == 0) {
    OpenProject(first, true);
    return;
  }
  std::vector<std::string> images;
  for (const std::string& path : paths) {
    if (IsImageFile(path)) images.push_back(path);
  }
  if (!images.empty()) AddImages(std::move(images));
}

void TProjectController::Save() {
  Flows->Save();
}

void TProjectController::SaveAs() {
  Flows->SaveAs();
}

bool TProjectController::Close() {
  return Flows->Close();
}

void TProjectController::OpenCommandLineFile() {
  if (CommandLineFile.empty()) return;
  const std::string path = CommandLineFile;
  CommandLineFile.clear();
  Document.View().RepaintWindow();
  OpenProject(path, false);
}

}  // namespace kalvane::ui
