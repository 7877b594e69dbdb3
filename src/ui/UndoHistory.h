#pragma once

#include <QObject>
#include <QUndoStack>
#include <memory>

#include "project/EditHistory.h"

namespace kalvane {
class TProjectDocument;
}

namespace kalvane::ui {

// The editor's history: Qt's undo stack, each command running one step of
// the document. The stack's clean index is the project's save point.
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

 private:
  TProjectDocument& Document;
  QUndoStack Stack;
};

}  // namespace kalvane::ui
