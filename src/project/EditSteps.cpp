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

void TItemsStep::Remove(TProjectDocument& document) const {
  std::vector<TItemId> ids;
  ids.reserve(Items.size());
  for (const TItemRecord& item : Items)
    ids.push_back(item.Id);
  document.RemoveItems(ids);
}

void TItemsStep::Restore(TProjectDocument& document) const {
  document.RestoreItems(Items);
}

void TItemsStep::Undo(TProjectDocument& document) {
  if (Added) {
    Remove(document);
  } else {
    Restore(document);
  }
}

void TItemsStep::Redo(TProjectDocument& document) {
  if (Added) {
    Restore(document);
  } else {
    Remove(document);
  }
}

std::string TBoxStep::Name() const {
  return kStepBox;
}

}  // namespace kalvane
