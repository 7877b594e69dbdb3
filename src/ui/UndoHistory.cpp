#include "ui/UndoHistory.h"

#include <QUndoCommand>

#include "project/ProjectDocument.h"
#include "ui/Texts.h"

namespace kalvane::ui {

namespace {

// A step already made when it is pushed: the stack's first redo does nothing.
class TStepCommand : public QUndoCommand {
 public:
  TStepCommand(TProjectDocument& document, std::unique_ptr<TEditStep> step)
      : Document(document), Step(std::move(step)) {
    setText(QString::fromStdString(Step->Name()));
  }
  void undo() override { Step->Undo(Document); }
  void redo() override {
    if (Done) {
      Done = false;
      return;
    }
    Step->Redo(Document);
  }
  int id() const override { return Step->MergeKind(); }
  bool mergeWith(const QUndoCommand* other) override {
    return Step->MergeWith(*static_cast<const TStepCommand*>(other)->Step);
  }

 private:
  TProjectDocument& Document;
  std::unique_ptr<TEditStep> Step;
  bool Done = true;
};

}  // namespace

TUndoHistory::TUndoHistory(TProjectDocument& document, QObject* parent)
    : QObject(parent), Document(document) {
  Stack.setUndoLimit(kHistoryLimit);
}

void TUndoHistory::Push(std::unique_ptr<TEditStep> step) {
  if (step) Stack.push(new TStepCommand(Document, std::move(step)));
}

void TUndoHistory::Clear() {
  Stack.clear();
}

void TUndoHistory::NameActions(QAction& undo, QAction& redo) {
  const auto name = [this, &undo, &redo] {
    undo.setText(Stack.canUndo() ? QString::fromUtf8(kUndoStepCaption).arg(Stack.undoText())
                                 : QString::fromUtf8(kUndoCaption));
    redo.setText(Stack.canRedo() ? QString::fromUtf8(kRedoStepCaption).arg(Stack.redoText())
                                 : QString::fromUtf8(kRedoCaption));
  };
  // Each action's own connection goes with it.
  connect(&Stack, &QUndoStack::undoTextChanged, &undo, name);
  connect(&Stack, &QUndoStack::redoTextChanged, &redo, name);
  name();
}

}  // namespace kalvane::ui
