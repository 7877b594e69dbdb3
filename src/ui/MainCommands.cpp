// The main window's item, work-area, application and export commands.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTextEdit>
#include <QWheelEvent>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <thread>

#include "base/AppUtil.h"
#include "base/Texts.h"
#include "document/AutoAlign.h"
#include "export/ExportTexts.h"
#include "export/HtmlPreview.h"
#include "export/PageSetFolder.h"
#include "project/LoadThread.h"
#include "project/ProjectTexts.h"
#include "ui/AlignController.h"
#include "ui/ItemPanel.h"
#include "ui/LayerList.h"
#include "ui/MainWindow.h"
#include "ui/ProgressDialog.h"
#include "ui/TemplateWindow.h"
#include "ui/Texts.h"
#include "ui/Wording.h"
#include "ui/WorkArea.h"

namespace kalvane::ui {

namespace {

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The help beside the program, at a section ("#name") or its start.
void OpenHelp(IWindowDialogs& dialogs, const std::string& section) {
  const std::string help = GetAppFolder() + "help/index.html";
  if (IsFile(help)) {
    dialogs.OpenDocument(help + section);
  } else {
    dialogs.Warn(kQuestionCaption, kNoHelp);
  }
}

}  // namespace

void TfrmMain::ItemsChanged() {
  document->LayerItems().Render();
  pnlMain->pboxMain->update();
  pnlMain->ViewChanged();
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && pnlMain->Picking()) {
    pnlMain->CancelPick();
    statusBar()->clearMessage();
    return;
  }
  // Shift: ten steps at once.
  const int n = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
  switch (event->key()) {
    case Qt::Key_Left:
      pnlMain->Nudge(-n, 0);
      break;
    case Qt::Key_Up:
      pnlMain->Nudge(0, -n);
      break;
    case Qt::Key_Right:
      pnlMain->Nudge(n, 0);
      break;
    case Qt::Key_Down:
      pnlMain->Nudge(0, n);
      break;
    default:
      break;
  }
  QMainWindow::keyPressEvent(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::WindowDeactivate && watched == this) pnlMain->SetSpaceHeld(false);
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  auto* widget = qobject_cast<QWidget*>(watched);
  // A field that takes text keeps its spaces.
  if (key->key() != Qt::Key_Space || !widget || widget->window() != this ||
      qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
      qobject_cast<QTextEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget)) {
    return false;
  }
  if (!key->isAutoRepeat()) pnlMain->SetSpaceHeld(type == QEvent::KeyPress);
  // Over the canvas the key is the pan's, not a click of the focused button.
  return pnlMain->PointerOver();
}

void TfrmMain::wheelEvent(QWheelEvent* event) {
  // Turns that reach the window scroll the item list, unless the density
  // bar has the focus (it takes its own).
  if (document->LayerItems().Count() > 0 && !Items->Density->hasFocus()) {
    QScrollBar* bar = flmLayer->scrLayerList->verticalScrollBar();
    const int step = event->angleDelta().y() < 0 ? bar->singleStep() : -bar->singleStep();
    if (event->angleDelta().y() != 0) bar->setValue(bar->value() + step);
  }
  QMainWindow::wheelEvent(event);
}

void TfrmMain::ViewToggled(bool TViewState::*flag, bool on) {
  View.*flag = on;
  if (flag == &TViewState::ImageLocked) {
    // Unlocked to move the photo: the arrow keys go to the canvas.
    if (!on) {
      if (QWidget* focused = focusWidget()) focused->clearFocus();
    }
    pnlMain->ShowStatus();
  } else if (flag == &TViewState::BoxShown) {
    pnlMain->ShowBox(on);
  } else if (flag == &TViewState::GuidesShown) {
    pnlMain->ShowGuides(on);
  }
  // The tools read the locks; one that came during a drag ends it.
  pnlMain->SyncControls();
}

// ---- items --------------------------------------------------------------------

void TfrmMain::PickAndAddImages() {
  std::vector<std::string> files = Dialogs->PickImages();
  if (!files.empty()) AddImages(std::move(files));
}

void TfrmMain::AddImages(std::vector<std::string> files) {
  if (LoaderRunning()) return;
  const bool hadItems = document->LayerItems().Count() > 0;
  HideItemPanel();
  SetItemPanelRefresh(false);
  auto adder = std::make_shared<TPrjItemLoadThread>();
  adder->SetFiles(std::move(files));
  adder->SetInsertMode(hadItems);
  StartLoader(adder);
}

void TfrmMain::DeleteItem() {
  if (document->LayerItems().Count() == 0) return;
  if (!Dialogs->AskOkCancel(kQuestionCaption, kAskDeleteItem)) return;
  document->DeleteItem(document->CurrentId());
}

void TfrmMain::DeleteAllItems() {
  if (document->LayerItems().Count() == 0) return;
  if (!Dialogs->AskOkCancel(kQuestionCaption, kAskDeleteAll)) return;
  document->DeleteAllItems();
}

void TfrmMain::MoveUp() {
  document->MoveItem(document->CurrentId(), 0);
}

void TfrmMain::MoveDown() {
  document->MoveItem(document->CurrentId(), 1);
}

void TfrmMain::Reverse() {
  document->ReverseItems();
}

// Turning hundreds of display copies takes a moment: the pointer says so.
void TfrmMain::RotateLeft() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  document->RotateAll(9000);
  QGuiApplication::restoreOverrideCursor();
}

void TfrmMain::RotateRight() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  document->RotateAll(-9000);
  QGuiApplication::restoreOverrideCursor();
}

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

void TfrmMain::ShowAllInMono() {
  SetItemPanelRefresh(false);
  document->LayerItems().SetMonoVisibleAll(true);
  SetItemPanelRefresh(true);
}

void TfrmMain::ShowNoneInMono() {
  SetItemPanelRefresh(false);
  document->LayerItems().SetMonoVisibleAll(false);
  SetItemPanelRefresh(true);
}

void TfrmMain::ShowNeighboursInMono() {
  SetItemPanelRefresh(false);
  document->LayerItems().SetMonoVisibleNeighbours();
  SetItemPanelRefresh(true);
}

void TfrmMain::DensityChanged(int position) {
  document->LayerItems().SetDensity(position / 100.0);
  document->LayerItems().Render();
  pnlMain->pboxMain->update();
}

void TfrmMain::DeleteGuides() {
  if (document->GuideLines().Count() == 0) return;
  if (Dialogs->AskOkCancel(kQuestionCaption, kAskDeleteGuides)) document->DeleteAllGuides();
  pnlMain->SyncControls();
}

void TfrmMain::AlignWhole() {
  StartAlign(TAlignRegion{});
}

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

// ---- application ----------------------------------------------------------------

void TfrmMain::ShowAbout() {
  Dialogs->ShowAbout();
}

void TfrmMain::ShowViewerHelp() {
  // Flash players are gone; our page sets show their movies themselves.
  OpenHelp(*Dialogs, "#viewing");
}

void TfrmMain::ShowHelp() {
  OpenHelp(*Dialogs, "");
}

void TfrmMain::OpenSample() {
  const std::optional<std::string> path = Dialogs->PickProject(GetAppFolder() + "samples");
  if (path) OpenProject(*path, true);
}

void TfrmMain::StartConvertTool() {
  const std::string tool = GetAppFolder() + "fotomill";
  std::error_code ec;
  const auto status = std::filesystem::status(tool, ec);
  const bool runnable =
      !ec && std::filesystem::is_regular_file(status) &&
      (status.permissions() & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
  if (runnable) {
    Dialogs->StartProgram(tool);
  } else {
    Dialogs->Warn(kQuestionCaption, kNoConverter);
  }
}

// ---- the simple preview --------------------------------------------------------

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

}  // namespace kalvane::ui
