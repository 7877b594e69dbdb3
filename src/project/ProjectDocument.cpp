#include "project/ProjectDocument.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "project/EditSteps.h"
#include "project/ProjectFile.h"
#include "project/ProjectTexts.h"

namespace kalvane {

TProjectDocument::TProjectDocument(IProjectView* view) {
  SetView(view);
  Items.SetWorkBitmap(&Work);
}

bool TProjectDocument::IsSaved() const {
  return Items.Count() == 0 || HistoryOf->AtSavePoint();
}

void TProjectDocument::MarkSaved() {
  HistoryOf->SetSavePoint();
  UpdateCommandStates();
}

void TProjectDocument::MarkModified() {
  HistoryOf->DropSavePoint();
  UpdateCommandStates();
}

void TProjectDocument::UpdateCommandStates() {
  if (Commands) Commands->CommandStatesChanged();
}

void TProjectDocument::SetHistory(IEditHistory* history) {
  HistoryOf = history ? history : &Unsaved;
}

void TProjectDocument::Record(std::unique_ptr<TEditStep> step) {
  HistoryOf->Push(std::move(step));
  UpdateCommandStates();
}

void TProjectDocument::Reset() {
  TPrjFormat format;
  format.SetMainWindow(this);
  format.Reset();
  HistoryOf->Clear();
  UpdateCommandStates();
}

void TProjectDocument::Render() {
  Items.Render();
  View().RepaintWorkArea();
}

// ---- values by id ------------------------------------------------------------

TItemOffset TProjectDocument::ItemOffset(TItemId id) const {
  const TLayerItemObject* item = Items.FindById(id);
  return item ? TItemOffset{item->GetOffset(), item->GetFineOffset()} : TItemOffset{};
}

void TProjectDocument::SetItemOffset(TItemId id, const TItemOffset& offset) {
  SetItemOffsets({{id, offset}});
}

void TProjectDocument::SetItemOffsets(const std::vector<std::pair<TItemId, TItemOffset>>& offsets) {
  bool changed = false;
  for (const auto& [id, offset] : offsets) {
    if (TLayerItemObject* item = Items.FindById(id)) {
      item->SetFineOffset(offset.Fine);
      changed = true;
    }
  }
  if (changed) Render();
}

void TProjectDocument::SetItemOrder(const std::vector<TItemId>& ids) {
  Items.SetOrder(ids);
}

void TProjectDocument::SetRotation(std::int32_t angle) {
  Items.SetRotation(angle);
}

std::vector<TTakenItem> TProjectDocument::TakeItems(const std::vector<TItemId>& ids) {
  std::vector<TTakenItem> taken;
  const std::set<TItemId> wanted(ids.begin(), ids.end());
  const std::vector<TItemId> all = Items.Order();
  if (!all.empty() &&
      std::all_of(all.begin(), all.end(), [&](TItemId id) { return wanted.count(id) > 0; })) {
    std::vector<std::unique_ptr<TLayerItemObject>> items = Items.TakeAll();
    for (std::size_t i = 0; i < items.size(); ++i)
      taken.push_back({static_cast<int>(i), std::move(items[i])});
  } else {
    // From the end: each keeps the place it had in the whole list.
    for (int i = Items.Count() - 1; i >= 0; --i) {
      if (wanted.count(Items.GetItem(i)->GetId())) taken.push_back({i, Items.Take(i)});
    }
    std::reverse(taken.begin(), taken.end());
  }
  UpdateCommandStates();
  return taken;
}

void TProjectDocument::PutBackItems(std::vector<TTakenItem> taken) {
  std::erase_if(taken, [](const TTakenItem& t) { return !t.Item; });
  if (taken.empty()) return;
  std::sort(taken.begin(), taken.end(),
            [](const TTakenItem& a, const TTakenItem& b) { return a.Index < b.Index; });
  // The history runs in order, so the list is as it was when they were
  // taken, but one emptied and loaded again meanwhile may have chosen
  // another scale: it follows theirs.
  if (Items.Count() == 0) Items.SetItemScale(taken.front().Item->GetScale());
  const TItemId single = taken.size() == 1 ? taken.front().Item->GetId() : 0;
  for (TTakenItem& t : taken) {
    t.Item->SetSelected(false);
    Items.InsertCreated(std::move(t.Item), t.Index);
  }
  if (single) {
    if (const TLayerItemObject* back = Items.FindById(single)) Items.SelectIndex(back->GetIndex());
  } else if (!Items.GetSelected()) {
    Items.SelectIndex(0);
  }
  UpdateCommandStates();
}

void TProjectDocument::SetTrimRelBox(const TRelBox& box) {
  Box.SetRelBox(box);
  View().RepaintWorkArea();
}

void TProjectDocument::SetGuideLines(const std::vector<TGuideShape>& guides) {
  Guides.SetLines(guides);
  View().RepaintWorkArea();
}

// ---- edits -------------------------------------------------------------------

TItemId TProjectDocument::CurrentId() const {
  const TLayerItemObject* current = Items.GetSelected();
  return current ? current->GetId() : 0;
}

void TProjectDocument::NudgeItem(TItemId id, TPointF delta) {
  const TLayerItemObject* item = Items.FindById(id);
  if (!item) return;
  const TItemOffset before = ItemOffset(id);
  TItemOffset moved = before;
  moved.Fine = {before.Fine.X + delta.X, before.Fine.Y + delta.Y};
  SetItemOffset(id, moved);
  const TItemOffset after = ItemOffset(id);  // as the item holds it
  Record(std::make_unique<TOffsetStep>(
      kStepNudge, std::vector<TOffsetStep::TChange>{{id, before, after}}, true));
}

void TProjectDocument::DragEnded(TItemId id, const TItemOffset& before) {
  if (!Items.FindById(id)) return;
  const TItemOffset after = ItemOffset(id);
  Record(std::make_unique<TOffsetStep>(kStepDrag,
                                       std::vector<TOffsetStep::TChange>{{id, before, after}}));
}

void TProjectDocument::MoveItem(TItemId id, int direction) {
  const TLayerItemObject* item = Items.FindById(id);
  if (!item) return;
  const std::vector<TItemId> before = ItemOrder();
  Items.Move(item->GetIndex(), direction);
  // Recorded even when the item was at the end already: the project is
  // then modified, as the command has always marked it.
  Record(std::make_unique<TOrderStep>(direction == 1 ? kStepMoveDown : kStepMoveUp, before,
                                      ItemOrder()));
}

void TProjectDocument::MoveItemTo(TItemId id, int index) {
  const std::vector<TItemId> before = ItemOrder();
  std::vector<TItemId> after = before;
  const auto at = std::find(after.begin(), after.end(), id);
  if (at == after.end()) return;
  after.erase(at);
  index = std::clamp(index, 0, static_cast<int>(after.size()));
  after.insert(after.begin() + index, id);
  if (after == before) return;
  SetItemOrder(after);
  Record(std::make_unique<TOrderStep>(kStepMoveTo, before, after));
}

void TProjectDocument::ReverseItems() {
  if (Items.Count() == 0) return;
  const std::vector<TItemId> before = ItemOrder();
  Items.Reverse();
  Record(std::make_unique<TOrderStep>(kStepReverse, before, ItemOrder()));
}

void TProjectDocument::RotateAll(std::int32_t quarter) {
  if (Items.Count() == 0) return;
  const std::int32_t before = Items.GetRotation();
  Items.SetRotation(before + quarter);
  Record(std::make_unique<TRotationStep>(quarter > 0 ? kStepRotateLeft : kStepRotateRight, before,
                                         Items.GetRotation()));
}

void TProjectDocument::DeleteItem(TItemId id) {
  if (!Items.FindById(id)) return;
  std::vector<TTakenItem> taken = TakeItems({id});
  Record(std::make_unique<TItemsStep>(kStepDeleteItem, std::vector<TItemId>{id}, false,
                                      std::move(taken)));
}

void TProjectDocument::DeleteAllItems() {
  if (Items.Count() == 0) return;
  std::vector<TItemId> ids = ItemOrder();
  std::vector<TTakenItem> taken = TakeItems(ids);
  Record(std::make_unique<TItemsStep>(kStepDeleteAll, std::move(ids), false, std::move(taken)));
}

void TProjectDocument::ItemsAdded(const std::vector<TItemId>& ids) {
  std::vector<TItemId> added;
  std::copy_if(ids.begin(), ids.end(), std::back_inserter(added),
               [this](TItemId id) { return Items.FindById(id) != nullptr; });
  if (added.empty()) return;
  Record(std::make_unique<TItemsStep>(kStepAddItems, std::move(added), true));
}

void TProjectDocument::SetOffsets(const std::string& name,
                                  const std::vector<std::pair<TItemId, TItemOffset>>& offsets) {
  std::vector<TOffsetStep::TChange> changes;
  for (const auto& [id, offset] : offsets) {
    if (Items.FindById(id)) changes.push_back({id, ItemOffset(id), offset});
  }
  if (changes.empty()) return;
  SetItemOffsets(offsets);
  for (TOffsetStep::TChange& change : changes)
    change.After = ItemOffset(change.Id);  // as the item holds it
  Record(std::make_unique<TOffsetStep>(name, std::move(changes)));
}

void TProjectDocument::ApplyAlignment(const std::vector<TAlignment>& found) {
  std::vector<std::pair<TItemId, TItemOffset>> offsets;
  for (const TAlignment& a : found) {
    if (a.Trusted) offsets.emplace_back(a.Id, TItemOffset{a.After, a.FineAfter});
  }
  SetOffsets(kStepAlign, offsets);
}

void TProjectDocument::SetBox(const TRelBox& box) {
  SetBox(box, Box.GetRelBox());
}

void TProjectDocument::SetBox(const TRelBox& box, const TRelBox& before) {
  SetTrimRelBox(box);
  const TRelBox after = Box.GetRelBox();  // as the box holds it
  if (after != before) Record(std::make_unique<TBoxStep>(before, after));
}

void TProjectDocument::ChangeGuides(const char* name, const std::vector<TGuideShape>& after) {
  std::vector<TGuideShape> before = Guides.Lines();
  if (after == before) return;
  SetGuideLines(after);
  Record(std::make_unique<TGuidesStep>(name, std::move(before), Guides.Lines()));
}

void TProjectDocument::AddGuide(int orientation, double relPos) {
  TGuideManagement after = Guides;
  after.AddAtRelPos(orientation, relPos);
  ChangeGuides(kStepGuideAdd, after.Lines());
}

void TProjectDocument::MoveGuide(int index, double relPos) {
  TGuideManagement after = Guides;
  after.SetRelPos(index, relPos);
  ChangeGuides(kStepGuideMove, after.Lines());
}

void TProjectDocument::DeleteGuide(int index) {
  TGuideManagement after = Guides;
  after.Delete(index);
  ChangeGuides(kStepGuideDelete, after.Lines());
}

void TProjectDocument::DeleteAllGuides() {
  ChangeGuides(kStepGuidesClear, {});
}

}  // namespace kalvane
