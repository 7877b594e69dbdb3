#include "ui/ItemCommands.h"

#include <QCursor>
#include <QGuiApplication>

#include "base/Texts.h"
#include "project/ProjectDocument.h"
#include "ui/Texts.h"
#include "ui/WindowDialogs.h"

namespace kalvane::ui {

void TItemCommands::DeleteItem() {
  if (Document.LayerItems().Count() == 0) return;
  if (!Dialogs.AskOkCancel(kQuestionCaption, kAskDeleteItem)) return;
  Document.DeleteItem(Document.CurrentId());
}

void TItemCommands::DeleteAll() {
  if (Document.LayerItems().Count() == 0) return;
  if (!Dialogs.AskOkCancel(kQuestionCaption, kAskDeleteAll)) return;
  Document.DeleteAllItems();
}

void TItemCommands::MoveUp() {
  Document.MoveItem(Document.CurrentId(), 0);
}

void TItemCommands::MoveDown() {
  Document.MoveItem(Document.CurrentId(), 1);
}

void TItemCommands::Reverse() {
  Document.ReverseItems();
}

void TItemCommands::RotateLeft() {
  Rotate(9000);
}

void TItemCommands::RotateRight() {
  Rotate(-9000);
}

// Turning hundreds of display copies takes a moment: the pointer says so.
void TItemCommands::Rotate(int hundredths) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Document.RotateAll(hundredths);
  QGuiApplication::restoreOverrideCursor();
}

// The list is drawn once, after the whole choice changed.
void TItemCommands::ShowAllInMono() {
  Document.View().SetItemPanelRefresh(false);
  Document.LayerItems().SetMonoVisibleAll(true);
  Document.View().SetItemPanelRefresh(true);
}

void TItemCommands::ShowNoneInMono() {
  Document.View().SetItemPanelRefresh(false);
  Document.LayerItems().SetMonoVisibleAll(false);
  Document.View().SetItemPanelRefresh(true);
}

void TItemCommands::ShowNeighboursInMono() {
  Document.View().SetItemPanelRefresh(false);
  Document.LayerItems().SetMonoVisibleNeighbours();
  Document.View().SetItemPanelRefresh(true);
}

}  // namespace kalvane::ui
