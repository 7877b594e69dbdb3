#pragma once

#include <memory>
#include <string>
#include <vector>

#include "project/EditHistory.h"
#include "project/ProjectDocument.h"

namespace kalvane::test {

// The document's steps kept in order, to undo and redo them in the tests
// of the steps: no merging and no limit (the editor's undo stack decides
// those), the save point where the document puts it.
class TStepLog : public IEditHistory {
 public:
  explicit TStepLog(TProjectDocument& document) : Doc(document) { Doc.SetHistory(this); }
  ~TStepLog() override { Doc.SetHistory(nullptr); }
  TStepLog(const TStepLog&) = delete;
  TStepLog& operator=(const TStepLog&) = delete;

  void Push(std::unique_ptr<TEditStep> step) override {
    if (!step) return;
    Steps.resize(static_cast<std::size_t>(Index));  // the steps undone are gone
    if (SavePoint > Index) SavePoint = -1;
    Steps.push_back(std::move(step));
    ++Index;
  }
  void Clear() override {
    Steps.clear();
    Index = SavePoint = 0;
  }
  void SetSavePoint() override { SavePoint = Index; }
  void DropSavePoint() override { SavePoint = -1; }
  bool AtSavePoint() const override { return SavePoint == Index; }

  bool CanUndo() const { return Index > 0; }
  bool CanRedo() const { return Index < static_cast<int>(Steps.size()); }
  void Undo() {
    if (CanUndo()) Steps[static_cast<std::size_t>(--Index)]->Undo(Doc);
  }
  void Redo() {
    if (CanRedo()) Steps[static_cast<std::size_t>(Index++)]->Redo(Doc);
  }
  int CurrentIndex() const { return Index; }
  std::string UndoName() const {
    return CanUndo() ? Steps[static_cast<std::size_t>(Index - 1)]->Name() : std::string();
  }

 private:
  TProjectDocument& Doc;
  std::vector<std::unique_ptr<TEditStep>> Steps;
  int Index = 0;
  int SavePoint = 0;
};

}  // namespace kalvane::test
