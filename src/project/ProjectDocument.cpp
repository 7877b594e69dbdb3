#include "project/ProjectDocument.h"

#include <algorithm>
#include <future>
#include <set>
#include <thread>

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

std::vector<TItemRecord> TProjectDocument::ItemRecords(const std::vector<TItemId>& ids) const {
  const std::set<TItemId> wanted(ids.begin(), ids.end());
  std::vector<TItemRecord> records;
  const TLayerManagement::TLockedView view = Items.LockedView();
  for (int i = 0; i < view.Count(); ++i) {
    const TLayerItemObject& item = view[i];
    if (!wanted.count(item.GetId())) continue;
    records.push_back({item.GetId(), item.GetItemName(), item.GetFileName(),
                       TItemOffset{item.GetOffset(), item.GetFineOffset()}, i,
                       item.GetMonoVisible()});
  }
  return records;
}

void TProjectDocument::RemoveItems(const std::vector<TItemId>& ids) {
  if (static_cast<int>(ids.size()) >= Items.Count() && !ids.empty()) {
    const std::vector<TItemId> all = Items.Order();
    if (std::is_permutation(all.begin(), all.end(), ids.begin())) {
      Items.Clear();
      UpdateCommandStates();
      return;
    }
  }
  for (TItemId id : ids) {
    if (const TLayerItemObject* item = Items.FindById(id)) Items.Delete(item->GetIndex());
  }
  UpdateCommandStates();
}

void TProjectDocument::RestoreItems(const std::vector<TItemRecord>& records) {
  // Decoded a few at a time on workers, put back in list order.
  std::vector<TItemRecord> ordered = records;
  std::sort(ordered.begin(), ordered.end(),
            [](const TItemRecord& a, const TItemRecord& b) { return a.Index < b.Index; });
  const std::size_t workers = std::max(2u, std::thread::hardware_concurrency());
  std::vector<std::unique_ptr<TLayerItemObject>> made(ordered.size());
  for (std::size_t start = 0; start < ordered.size(); start += workers) {
    std::vector<std::future<std::unique_ptr<TLayerItemObject>>> pending;
    for (std::size_t i = start; i < std::min(ordered.size(), start + workers); ++i) {
      pending.push_back(std::async(std::launch::async, [this, &record = ordered[i]] {
        return Items.CreateItem(record.Name, record.Path);
      }));
    }
    for (std::size_t i = 0; i < pending.size(); ++i)
      made[start + i] = pending[i].get();
  }
  std::string kept;
  int keptCount = 0;
  TItemId current = 0;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    std::unique_ptr<TLayerItemObject>& item = made[i];
    const TItemRecord& record = ordered[i];
    if (!item->HasImage() || !item->LoadError().empty()) {
      ++keptCount;
      kept += "\r" + (item->LoadError().empty() ? record.Path : item->LoadError());
    }
    item->KeepFileName(record.Path);
    item->SetId(record.Id);
    item->SetFineOffset(record.Offset.Fine);
    item->SetMonoVisible(record.MonoVisible);
    if (!current) current = record.Id;
    Items.InsertCreated(std::move(item), record.Index);
  }
  if (ordered.size() == 1) {
    if (const TLayerItemObject* back = Items.FindById(current)) Items.SelectIndex(back->GetIndex());
  } else if (!Items.GetSelected()) {
    Items.SelectIndex(0);
  }
  UpdateCommandStates();
  if (keptCount > 0) View().ShowWarning(KeptWithoutPictureMessage(keptCount) + kept);
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
  std::vector<TItemRecord> records = ItemRecords({id});
  if (records.empty()) return;
  RemoveItems({id});
  Record(std::make_unique<TItemsStep>(kStepDeleteItem, std::move(records), false));
}

void TProjectDocument::DeleteAllItems() {
  if (Items.Count() == 0) return;
  std::vector<TItemRecord> records = ItemRecords(ItemOrder());
  Items.Clear();
  Record(std::make_unique<TItemsStep>(kStepDeleteAll, std::move(records), false));
}

void TProjectDocument::ItemsAdded(const std::vector<TItemId>& ids) {
  std::vector<TItemRecord> records = ItemRecords(ids);
  if (records.empty()) return;
  Record(std::make_unique<TItemsStep>(kStepAddItems, std::move(records), true));
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
