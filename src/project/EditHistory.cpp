#include "project/EditHistory.h"

namespace kalvane {

void TStepHistory::Push(std::unique_ptr<TEditStep> step) {
  if (!step) return;
  Steps.resize(static_cast<std::size_t>(Index));  // the steps undone are gone
  if (SavePoint > Index) SavePoint = -1;
  // Consecutive steps of one kind merge, but never across the save point.
  if (!Steps.empty() && SavePoint != Index && step->MergeKind() != -1 &&
      Steps.back()->MergeKind() == step->MergeKind() && Steps.back()->MergeWith(*step)) {
    return;
  }
  Steps.push_back(std::move(step));
  ++Index;
  if (static_cast<int>(Steps.size()) > kHistoryLimit) {
    Steps.erase(Steps.begin());
    --Index;
    SavePoint = SavePoint > 0 ? SavePoint - 1 : -1;
  }
}

void TStepHistory::Clear() {
  Steps.clear();
  Index = 0;
  SavePoint = 0;
}

void TStepHistory::Undo() {
  if (!CanUndo() || !Doc) return;
  --Index;
  Steps[static_cast<std::size_t>(Index)]->Undo(*Doc);
}

void TStepHistory::Redo() {
  if (!CanRedo() || !Doc) return;
  Steps[static_cast<std::size_t>(Index)]->Redo(*Doc);
  ++Index;
}

std::string TStepHistory::UndoName() const {
  return CanUndo() ? Steps[static_cast<std::size_t>(Index - 1)]->Name() : std::string();
}

}  // namespace kalvane
