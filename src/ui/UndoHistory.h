#pragma once

#include <QAction>
#include <QObject>
#include <QUndoStack>
#include <memory>

#include "project/EditHistory.h"

namespace kalvane {
class TProjectDocument;
}

namespace kalvane::ui {

// The one history of the project's steps: Qt's undo stack, fed through the
// core's interface, each command running one step of the document. It
// keeps at most kHistoryLimit steps, lets a step take the next one in by
// the step's own rule (never across the save point), and its clean index
// is the project's save point.
class TUndoHistory : public QObject, public IEditHistory {
  Q_OBJECT
 public:
  TUndoHistory(TProjectDocument& document, QObject* parent);
  void Push(std::unique_ptr<TEditStep> step) override;
  void Clear() override;
  void SetSavePoint() override { Stack.setClean(); }
  void DropSavePoint() override { Stack.resetClean(); }
  bool AtSavePoint() const override { return Stack.isClean(); }
  QUndoStack& UndoStack() { return Stack; }
  // The undo and redo actions name the step they would take back or
  // make again, from now on.
  void NameActions(QAction& undo, QAction& redo);

 private:
  TProjectDocument& Document;
  QUndoStack Stack;
};

}  // namespace kalvane::ui
