#include "project/EditSteps.h"

#include "project/ProjectTexts.h"

namespace kalvane {

void TOffsetStep::Undo(TProjectDocument& document) {
  std::vector<std::pair<TItemId, TItemOffset>> offsets;
  for (const TChange& change : Changes)
    offsets.emplace_back(change.Id, change.Before);
  document.SetItemOffsets(offsets);
}

void TOffsetStep::Redo(TProjectDocument& document) {
  std::vector<std::pair<TItemId, TItemOffset>> offsets;
  for (const TChange& change : Changes)
    offsets.emplace_back(change.Id, change.After);
  document.SetItemOffsets(offsets);
}

bool TOffsetStep::MergeWith(const TEditStep& later) {
  const auto* other = dynamic_cast<const TOffsetStep*>(&later);
  if (!other || !Nudge || !other->Nudge || Changes.size() != 1 || other->Changes.size() != 1 ||
      Changes.front().Id != other->Changes.front().Id || other->Last - Last > kNudgeRun ||
      other->Last < Last) {
    return false;
  }
  Changes.front().After = other->Changes.front().After;
  Last = other->Last;
  return true;
}

void TItemsStep::Take(TProjectDocument& document) {
  Taken = document.TakeItems(Ids);
}

void TItemsStep::PutBack(TProjectDocument& document) {
  document.PutBackItems(std::move(Taken));
  Taken.clear();
}

void TItemsStep::Undo(TProjectDocument& document) {
  if (Added) {
    Take(document);
  } else {
    PutBack(document);
  }
}

void TItemsStep::Redo(TProjectDocument& document) {
  if (Added) {
    PutBack(document);
  } else {
    Take(document);
  }
}

std::string TBoxStep::Name() const {
  return kStepBox;
}

}  // namespace kalvane
