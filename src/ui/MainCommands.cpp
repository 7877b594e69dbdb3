// The main window's routes: the registry's commands to the controllers
// that run them, and the window's events to the panels that take them.
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <QWheelEvent>

#include "base/Texts.h"
#include "export/MobileTools.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/ExportController.h"
#include "ui/HelpCommands.h"
#include "ui/ItemCommands.h"
#include "ui/ItemPanel.h"
#include "ui/LoaderController.h"
#include "ui/MainWindow.h"
#include "ui/ProjectController.h"
#include "ui/Texts.h"
#include "ui/UndoHistory.h"
#include "ui/WorkArea.h"

namespace kalvane::ui {

// Menus, buttons and keys trigger the registry's actions; each runs here.
void TfrmMain::RouteCommands() {
  using C = TCommandId;
  TActionRegistry& r = Commands;
  TProjectController* const projects = Projects.get();
  TItemCommands* const items = ItemCommands.get();
  THelpCommands* const help = Help.get();
  TExportController* const exports = Exporter.get();
  TWorkArea* const work = pnlMain;
  r.On(C::NewProject, [projects] { projects->NewProject(); });
  r.On(C::OpenProject, [projects] { projects->AskOpenProject(); });
  r.On(C::Save, [projects] { projects->Save(); });
  r.On(C::SaveAs, [projects] { projects->SaveAs(); });
  r.On(C::AddImages, [projects] { projects->PickAndAddImages(); });
  r.On(C::OpenSample, [projects] { projects->OpenSample(); });
  r.On(C::Quit, [this] { close(); });
  const std::pair<C, void (TItemCommands::*)()> itemCommands[] = {
      {C::DeleteItem, &TItemCommands::DeleteItem},
      {C::DeleteAll, &TItemCommands::DeleteAll},
      {C::MoveUp, &TItemCommands::MoveUp},
      {C::MoveDown, &TItemCommands::MoveDown},
      {C::Reverse, &TItemCommands::Reverse},
      {C::RotateLeft, &TItemCommands::RotateLeft},
      {C::RotateRight, &TItemCommands::RotateRight},
      {C::AllVisible, &TItemCommands::ShowAllInMono},
      {C::AllUnVisible, &TItemCommands::ShowNoneInMono},
      {C::NeighboursVisible, &TItemCommands::ShowNeighboursInMono}};
  for (const auto& [id, run] : itemCommands)
    r.On(id, [items, run = run] { (items->*run)(); });
  r.On(C::Help, [help] { help->ShowHelp(); });
  r.On(C::ViewerHelp, [help] { help->ShowViewerHelp(); });
  r.On(C::About, [help] { help->ShowAbout(); });
  r.On(C::ConvertTool, [help] { help->StartConvertTool(); });
  r.On(C::AlignWhole, [this] { StartAlign(TAlignRegion{}); });
  r.On(C::AlignBox, [this] { AlignBox(); });
  r.On(C::AlignDraw, [this] { AlignDraw(); });
  r.On(C::DeleteGuides, [this] { DeleteGuides(); });
  // Not in the middle of a drag (an image, a guide, the box): its step is
  // recorded at the release from where the drag began.
  r.On(C::Undo, [this] {
    if (!pnlMain->Dragging()) History->UndoStack().undo();
  });
  r.On(C::Redo, [this] {
    if (!pnlMain->Dragging()) History->UndoStack().redo();
  });
  r.On(C::ExportPc, [exports] { exports->ExportPc(); });
  r.On(C::ExportDesign, [exports] { exports->ExportDesign(); });
  r.On(C::ExportMobile, [exports] { exports->ExportMobile(); });
  r.On(C::HtmlPreview, [exports] { exports->HtmlPreview(); });
  r.On(C::ExportOther, [this] {
    if (!LoaderRunning() && !Aligner->Running()) Exporter->ExportOther();
  });
  r.On(C::ZoomIn, [work] { work->ZoomIn(); });
  r.On(C::ZoomOut, [work] { work->ZoomOut(); });
  r.On(C::ZoomFit, [work] { work->ZoomFit(); });
  r.On(C::Zoom100, [work] { work->Zoom100(); });
  r.OnToggled(C::Mono, [this](bool on) { MonoToggled(on); });
  r.OnToggled(C::Preview, [this](bool on) { PreviewToggled(on); });
  const std::pair<C, bool TViewState::*> flags[] = {{C::ImageLock, &TViewState::ImageLocked},
                                                    {C::TrimShow, &TViewState::BoxShown},
                                                    {C::TrimLock, &TViewState::BoxLocked},
                                                    {C::GuideShow, &TViewState::GuidesShown},
                                                    {C::GuideLock, &TViewState::GuidesLocked}};
  for (const auto& [id, flag] : flags)
    r.OnToggled(id, [work, flag = flag](bool on) { work->ViewToggled(flag, on); });
  connect(Menus.FrameRate, &QComboBox::currentTextChanged, this, &TfrmMain::FrameRateChanged);
}

// ---- the project ----------------------------------------------------------------

void TfrmMain::OpenProject(const std::string& path, bool ask) {
  Projects->OpenProject(path, ask);
}

void TfrmMain::AddImages(std::vector<std::string> files) {
  Projects->AddImages(std::move(files));
}

void TfrmMain::DropFiles(const std::vector<std::string>& paths) {
  if (paths.empty() || LoaderRunning()) return;
  // The list the preview walks is about to change: it stops first.
  if (View.Previewing) Commands.Action(TCommandId::Preview).setChecked(false);
  raise();
  activateWindow();
  Projects->OpenDropped(paths);
}

void TfrmMain::LoaderEnded() {
  setEnabled(true);  // whatever the progress window did
  UpdateCommands();
  RepaintWorkArea();
  CloseIfWaiting();
}

void TfrmMain::ItemsChanged() {
  document->LayerItems().Render();
  pnlMain->pboxMain->update();
  pnlMain->ViewChanged();
}

// ---- the window's events ----------------------------------------------------------

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!FirstShow) return;
  FirstShow = false;
  Status.LoadSettings();
  Menus.ShowMobileExport(Commands, MobileToolsPresent());
  // Questions and the project named on the command line come once the
  // window is on the screen.
  QTimer::singleShot(0, this, [this] {
    Help->ShowFirstRunWelcome();
    Projects->OpenCommandLineFile();
  });
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    Projects->OpenCommandLineFile();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Work on a worker ends first; the window closes when it has.
  if (LoaderRunning() || ExportRunning() || Aligner->Running()) {
    CloseWhenIdle = true;
    Loader->Cancel();
    if (ExportRunning()) Exporter->Cancel();
    Aligner->Cancel();
    event->ignore();
    return;
  }
  CloseWhenIdle = false;
  const bool close = Projects->Close();
  // written also when the close is called off
  Status.SaveSettings();
  if (close) {
    event->accept();
  } else {
    event->ignore();
  }
}

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

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  if (pnlMain->WindowKey(*event)) {
    statusBar()->clearMessage();  // the pick's hint
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TfrmMain::wheelEvent(QWheelEvent* event) {
  if (document->LayerItems().Count() > 0) Items->WindowWheel(*event);
  QMainWindow::wheelEvent(event);
}

// ---- the view ---------------------------------------------------------------------

void TfrmMain::MonoToggled(bool on) {
  View.Mono = on;
  SetItemPanelRefresh(false);
  document->LayerItems().SetMonoMode(on ? 1 : 0);
  Items->ShowMonoControls(on);
  UpdateCommands();
  if (on) {
    Items->Density->setFocus();
  } else if (QWidget* focused = focusWidget()) {
    focused->clearFocus();
  }
  SetItemPanelRefresh(true);
}

void TfrmMain::DensityChanged(int position) {
  document->LayerItems().SetDensity(position / 100.0);
  document->LayerItems().Render();
  pnlMain->pboxMain->update();
}

void TfrmMain::PreviewToggled(bool on) {
  View.Previewing = on;
  if (on) {
    Menus.FrameRate->setFocus();
    FrameRateChanged();
    DataPreview.SetIdle(false);
    DataPreview.StartPlayback();
  } else {
    DataPreview.StopPlayback();
    DataPreview.SetIdle(true);
    if (QWidget* focused = focusWidget()) focused->clearFocus();
  }
}

void TfrmMain::FrameRateChanged() {
  DataPreview.SetInterval(PreviewInterval(Menus.FrameRate->currentText().toStdString()));
}

void TfrmMain::DeleteGuides() {
  if (document->GuideLines().Count() == 0) return;
  if (Dialogs->AskOkCancel(kQuestionCaption, kAskDeleteGuides)) document->DeleteAllGuides();
  pnlMain->SyncControls();
}

// ---- alignment --------------------------------------------------------------------

void TfrmMain::AlignBox() {
  const TRelBox box = document->TrimBox().GetRelBox();
  const double left = std::min(box.p1x, box.p2x), right = std::max(box.p1x, box.p2x);
  const double top = std::min(box.p1y, box.p2y), bottom = std::max(box.p1y, box.p2y);
  if (!(right - left > 0.01 && bottom - top > 0.01)) {
    statusBar()->showMessage(QString::fromUtf8(kAlignNoBox), 8000);
    return StartAlign(TAlignRegion{});
  }
  StartAlign(TAlignRegion{left, top, right, bottom});
}

void TfrmMain::AlignDraw() {
  if (document->LayerItems().Count() < 2) return;
  statusBar()->showMessage(QString::fromUtf8(kAlignPickRegion));
  pnlMain->PickRegion([this](double left, double top, double right, double bottom) {
    statusBar()->clearMessage();
    StartAlign(TAlignRegion{left, top, right, bottom});
  });
}

void TfrmMain::StartAlign(const TAlignRegion& region) {
  if (View.Previewing || Aligner->Running() || LoaderRunning() || ExportRunning()) return;
  pnlMain->CancelPick();
  Aligner->Start(region);
}

}  // namespace kalvane::ui
