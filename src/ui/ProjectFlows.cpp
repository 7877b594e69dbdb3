// The main window's project flows: start-up, new, open, save, close, drops
// and the loaders.
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"
#include "base/Texts.h"
#include "export/MobileTools.h"
#include "project/LoadThread.h"
#include "project/ProjectFile.h"
#include "project/ProjectFlows.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/ExportController.h"
#include "ui/MainWindow.h"
#include "ui/Texts.h"

namespace kalvane::ui {

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!FirstShow) return;
  FirstShow = false;
  Status.LoadSettings();
  CheckMobileTools();
  // Questions and the project named on the command line come once the
  // window is on the screen.
  QTimer::singleShot(0, this, [this] {
    ShowFirstRunWelcome();
    OpenCommandLineFile();
  });
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) OpenCommandLineFile();
}

void TfrmMain::OpenCommandLineFile() {
  if (commandLineFile.empty()) return;
  const std::string path = commandLineFile;
  commandLineFile.clear();
  repaint();
  OpenProject(path, false);
}

void TfrmMain::CheckMobileTools() {
  if (MobileToolsPresent()) return;
  for (QAction* shown : {Menus.MobileButton, Menus.MobileSeparator, Menus.MobileMenuSeparator,
                         &Commands.Action(TCommandId::ExportMobile)})
    shown->setVisible(false);
}

void TfrmMain::ShowFirstRunWelcome() {
  const std::string marker = GetUserDataFolder() + "velStart";
  std::error_code ec;
  if (std::filesystem::exists(marker, ec)) return;
  std::ofstream(marker) << "install\n";
  if (Dialogs->AskYesNo(kQuestionCaption, kWelcome)) ShowHelp();
}

// ---- project files ----------------------------------------------------------------

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

TProjectFlows& TfrmMain::Flows() {
  if (!FlowQuestions) {
    FlowQuestions = std::make_unique<TWindowQuestions>(*Dialogs);
    ProjectFlows = std::make_unique<TProjectFlows>(*document, *FlowQuestions);
  }
  return *ProjectFlows;
}

void TfrmMain::NewProject() {
  if (LoaderRunning()) return;
  Flows().NewProject();
}

void TfrmMain::AskOpenProject() {
  if (LoaderRunning() || !Flows().MayDiscard()) return;
  const std::optional<std::string> path = Dialogs->PickProject("");
  if (path) OpenProject(*path, false);
}

void TfrmMain::OpenProject(const std::string& path, bool ask) {
  if (LoaderRunning() || !Flows().MayDiscard(ask)) return;
  Flows().BeginOpen(path);
  auto loader = std::make_shared<TPrjLoadThread>();
  loader->SetProjectPath(path);
  commandLineFile.clear();
  StartLoader(loader);
}

void TfrmMain::StartLoader(std::shared_ptr<TLoadThread> loader) {
  loader->SetMainWindow(document.get());
  loader->SetDispatcher(&Dispatcher);
  loader->SetDialogs(Dialogs);
  Loader = loader;
  UpdateCommands();
  loader->Start([this] { LoaderEnded(); });
}

void TfrmMain::LoaderEnded() {
  Loader.reset();
  setEnabled(true);  // whatever the progress window did
  UpdateCommands();
  RepaintWorkArea();
  if (CloseWhenIdle) close();
}

void TfrmMain::Save() {
  Flows().Save();
}

void TfrmMain::SaveAs() {
  Flows().SaveAs();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Work on a worker ends first; the window closes when it has.
  if (LoaderRunning() || ExportRunning() || Aligner->Running()) {
    CloseWhenIdle = true;
    if (Loader) Loader->Cancel();
    if (ExportRunning()) Exporter->Cancel();
    Aligner->Cancel();
    event->ignore();
    return;
  }
  CloseWhenIdle = false;
  const bool close = Flows().Close();
  // written also when the close is called off
  Status.SaveSettings();
  if (close) {
    event->accept();
  } else {
    event->ignore();
  }
}

// ---- dropped files ----------------------------------------------------------------

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !LoaderRunning()) event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  event->acceptProposedAction();
  DropFiles(paths);
}

void TfrmMain::DropFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || LoaderRunning()) return;
  if (View.Previewing) {
    // The list the preview walks is about to change: it stops first.
    Commands.Action(TCommandId::Preview).setChecked(false);
  }
  raise();
  activateWindow();
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

}  // namespace kalvane::ui
