#include "document/LayerManagement.h"

#include <algorithm>
#include <cstdlib>

#include "base/Round.h"

namespace kalvane {

using Guard = std::lock_guard<std::recursive_mutex>;

void TLayerManagement::SetChangeHandler(int slot, TChangeHandler handler) {
  if (slot < 1 || slot > kListenerSlots) return;
  Guard g(Lock);
  ChangeHandlers[static_cast<std::size_t>(slot - 1)] = std::move(handler);
}

void TLayerManagement::SetWorkBitmap(TBitmap24* bitmap) {
  Guard g(Lock);
  WorkBitmap = bitmap;
  HasWorkBitmap = true;
}

void TLayerManagement::SetDisplayCopies(bool on) {
  Guard g(Lock);
  DisplayCopies = on;
}

int TLayerManagement::Count() const {
  Guard g(Lock);
  return static_cast<int>(Items.size());
}

TLayerItemObject* TLayerManagement::GetItem(int index) const {
  Guard g(Lock);
  if (index < 0 || index >= static_cast<int>(Items.size())) return nullptr;
  return Items[static_cast<std::size_t>(index)].get();
}

TLayerItemObject* TLayerManagement::FindByName(const std::string& name) const {
  Guard g(Lock);
  for (auto it = Items.rbegin(); it != Items.rend(); ++it) {
    if ((*it)->GetItemName() == name) return it->get();
  }
  return nullptr;
}

std::unique_ptr<TLayerItemObject> TLayerManagement::CreateItem(const std::string& name,
                                                               const std::string& path) const {
  auto item = std::make_unique<TLayerItemObject>();
  item->SetItemName(name);
  bool copies = true;
  {
    Guard g(Lock);
    item->SetRotation(Rotation);
    item->SetScale(ItemScale);
    copies = DisplayCopies;
  }
  // Decoding runs without the list lock so the GUI can keep rendering.
  item->LoadFromFile(path, copies);
  return item;
}

TLayerItemObject* TLayerManagement::InsertCreated(std::unique_ptr<TLayerItemObject> item,
                                                  int position) {
  if (!item) return nullptr;
  TLayerItemObject* raw = item.get();
  {
    Guard g(Lock);
    const int count = static_cast<int>(Items.size());
    const auto at = static_cast<std::size_t>(std::clamp(position, 0, count));
    Items.insert(Items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    Renumber(at);
  }
  Changed();
  return raw;
}

TLayerItemObject* TLayerManagement::AddItem(const std::string& name, const std::string& path) {
  return InsertCreated(CreateItem(name, path), Count());
}

TLayerItemObject* TLayerManagement::InsertItem(const std::string& name, int position,
                                               const std::string& path) {
  return InsertCreated(CreateItem(name, path), position);
}

void TLayerManagement::Renumber(std::size_t from) {
  for (std::size_t i = from; i < Items.size(); ++i)
    Items[i]->SetIndex(static_cast<int>(i));
}

void TLayerManagement::Delete(int index) {
  Take(index);
}

void TLayerManagement::Clear() {
  TakeAll();
}

std::unique_ptr<TLayerItemObject> TLayerManagement::Take(int index) {
  std::unique_ptr<TLayerItemObject> taken;
  bool remain = false;
  {
    Guard g(Lock);
    if (!HasWorkBitmap || index < 0 || index >= static_cast<int>(Items.size())) return nullptr;
    taken = std::move(Items[static_cast<std::size_t>(index)]);
    Items.erase(Items.begin() + index);
    Renumber(static_cast<std::size_t>(index));
    remain = !Items.empty();
  }
  if (remain) SelectIndex(0);
  Changed();
  return taken;
}

std::vector<std::unique_ptr<TLayerItemObject>> TLayerManagement::TakeAll() {
  std::vector<std::unique_ptr<TLayerItemObject>> taken;
  {
    Guard g(Lock);
    if (!HasWorkBitmap) return taken;
    taken.swap(Items);
  }
  Changed();
  return taken;
}

void TLayerManagement::Move(int index, int direction) {
  {
    Guard g(Lock);
    const int count = static_cast<int>(Items.size());
    if (index < 0 || index >= count) return;
    const int other = direction == 1 ? index + 1 : index - 1;
    if (other < 0 || other >= count) return;
    std::swap(Items[static_cast<std::size_t>(index)], Items[static_cast<std::size_t>(other)]);
    Renumber(static_cast<std::size_t>(std::min(index, other)));
  }
  Changed();
}

TLayerItemObject* TLayerManagement::FindById(TItemId id) const {
  Guard g(Lock);
  for (const auto& item : Items) {
    if (item->GetId() == id) return item.get();
  }
  return nullptr;
}

std::vector<TItemId> TLayerManagement::Order() const {
  Guard g(Lock);
  std::vector<TItemId> ids;
  ids.reserve(Items.size());
  for (const auto& item : Items)
    ids.push_back(item->GetId());
  return ids;
}

void TLayerManagement::SetOrder(const std::vector<TItemId>& ids) {
  {
    Guard g(Lock);
    std::vector<std::unique_ptr<TLayerItemObject>> ordered;
    ordered.reserve(Items.size());
    for (TItemId id : ids) {
      auto it = std::find_if(Items.begin(), Items.end(),
                             [id](const auto& item) { return item && item->GetId() == id; });
      if (it != Items.end()) ordered.push_back(std::move(*it));
    }
    for (auto& item : Items) {
      if (item) ordered.push_back(std::move(item));
    }
    Items = std::move(ordered);
    Renumber(0);
  }
  Changed();
}

void TLayerManagement::Reverse() {
  {
    Guard g(Lock);
    std::reverse(Items.begin(), Items.end());
    Renumber(0);
  }
  Changed();
}

void TLayerManagement::ClearSelectionLocked() {
  for (auto& item : Items) {
    if (item->GetSelected()) item->SetSelected(false);
  }
}

void TLayerManagement::ClearSelection() {
  Guard g(Lock);
  ClearSelectionLocked();
}

void TLayerManagement::SelectWhere(const std::function<bool(const TLayerItemObject&)>& match) {
  {
    Guard g(Lock);
    if (!Items.empty()) {
      ClearSelectionLocked();
      for (auto& item : Items) {
        if (match(*item)) item->SetSelected(true);
      }
    }
  }
  Changed();
}

void TLayerManagement::SelectIndex(int index) {
  SelectWhere([index](const TLayerItemObject& item) { return item.GetIndex() == index; });
}

void TLayerManagement::SelectName(const std::string& name) {
  SelectWhere([&name](const TLayerItemObject& item) { return item.GetItemName() == name; });
}

TLayerItemObject* TLayerManagement::GetSelectedLocked() const {
  for (auto it = Items.rbegin(); it != Items.rend(); ++it) {
    if ((*it)->GetSelected()) return it->get();
  }
  return nullptr;
}

TLayerItemObject* TLayerManagement::GetSelected() const {
  Guard g(Lock);
  return GetSelectedLocked();
}

void TLayerManagement::SetMonoMode(int mode) {
  if (mode != 0 && mode != 1) return;
  {
    Guard g(Lock);
    MonoMode = mode;
  }
  Changed();
}

int TLayerManagement::GetMonoMode() const {
  Guard g(Lock);
  return MonoMode;
}

void TLayerManagement::SetMonoVisibleByName(const std::string& name, bool visible) {
  TLayerItemObject* item = FindByName(name);
  if (!item) return;
  {
    Guard g(Lock);
    item->SetMonoVisible(visible);
  }
  Changed();
}

bool TLayerManagement::GetMonoVisibleByName(const std::string& name) const {
  Guard g(Lock);
  const TLayerItemObject* item = FindByName(name);
  return item && item->GetMonoVisible();
}

void TLayerManagement::SetMonoVisibleAll(bool visible) {
  {
    Guard g(Lock);
    for (auto& item : Items)
      item->SetMonoVisible(visible);
  }
  Changed();
}

void TLayerManagement::SetMonoVisibleNeighbours() {
  {
    Guard g(Lock);
    const TLayerItemObject* current = GetSelectedLocked();
    const int n = static_cast<int>(Items.size());
    int at = -1;
    for (int i = 0; i < n; ++i) {
      if (Items[static_cast<std::size_t>(i)].get() == current) at = i;
    }
    for (int i = 0; i < n; ++i) {
      const bool next = at >= 0 && i == (at + 1) % n, previous = at >= 0 && i == (at + n - 1) % n;
      Items[static_cast<std::size_t>(i)]->SetMonoVisible(i != at && (next || previous));
    }
  }
  Changed();
}

void TLayerManagement::SetAutoOverlay(bool on) {
  Guard g(Lock);
  AutoOverlay = on;
}

bool TLayerManagement::GetAutoOverlay() const {
  Guard g(Lock);
  return AutoOverlay;
}

void TLayerManagement::SetRotation(std::int32_t angle) {
  {
    Guard g(Lock);
    Rotation = angle;
    if (Items.empty()) return;
    std::int32_t reduced = angle;
    if (reduced > 36000) reduced -= 36000;
    if (reduced < -36000) reduced += 36000;
    for (auto& item : Items)
      item->SetRotation(reduced);
  }
  Changed();
}

std::int32_t TLayerManagement::GetRotation() const {
  Guard g(Lock);
  return Rotation;
}

void TLayerManagement::SetItemScale(double scale) {
  if (!(scale > 0.0 && scale <= 1.0)) return;
  Guard g(Lock);
  ItemScale = scale;
  for (auto& item : Items)
    item->SetScale(scale);
}

double TLayerManagement::GetItemScale() const {
  Guard g(Lock);
  return ItemScale;
}

void TLayerManagement::SetDensity(double density) {
  {
    Guard g(Lock);
    if (density > 0.0) Density = density;
  }
  BuildOverlay();
}

double TLayerManagement::GetDensity() const {
  Guard g(Lock);
  return Density;
}

TSize TLayerManagement::WorkSize() const {
  Guard g(Lock);
  int w = 0, h = 0;
  for (const auto& item : Items) {
    // An item whose file could not be read takes no room.
    const TSize size = item->DisplaySize();
    w = std::max(w, size.Width);
    h = std::max(h, size.Height);
  }
  if (w == 0 || h == 0) w = h = 100;
  return {w, h};
}

void TLayerManagement::FitBitmaps() {
  if (!WorkBitmap) return;
  const auto [w, h] = WorkSize();
  {
    CanvasLock lock(*WorkBitmap);
    WorkBitmap->SetSize(w, h);
  }
  CanvasLock lock(OverlayBitmap);
  if (OverlayBitmap.Width() != w || OverlayBitmap.Height() != h) {
    OverlayBitmap.SetSize(w, h);
    OverlayBitmap.FillWhite();
    OverlayValid = false;
  }
}

TLayerManagement::TOverlayEntry TLayerManagement::OverlayEntryOf(const TLayerItemObject& item) {
  // An item the overlay leaves out may move (the current one while it is
  // dragged) without making the overlay stale.
  if (!item.GetMonoVisible() || item.GetSelected()) return {&item, 0, {}, false};
  return {&item, item.ImageGeneration(), item.GetOffset(), true};
}

void TLayerManagement::BuildOverlay() {
  Guard g(Lock);
  if (!HasWorkBitmap || Items.empty()) return;
  FitBitmaps();
  CanvasLock lock(OverlayBitmap);
  std::size_t kept = 0;
  if (OverlayValid && OverlayDensity == Density && OverlayDrawn.size() <= Items.size()) {
    while (kept < OverlayDrawn.size() && OverlayDrawn[kept] == OverlayEntryOf(*Items[kept])) {
      ++kept;
    }
    if (kept < OverlayDrawn.size()) kept = 0;
  }
  if (kept == 0) {
    OverlayBitmap.FillWhite();
    OverlayDrawn.clear();
  }
  for (std::size_t i = kept; i < Items.size(); ++i) {
    const TOverlayEntry entry = OverlayEntryOf(*Items[i]);
    if (entry.drawn) Items[i]->DrawMonoDark(OverlayBitmap, Density);
    OverlayDrawn.push_back(entry);
  }
  OverlayValid = true;
  OverlayDensity = Density;
}

void TLayerManagement::Render() {
  Guard g(Lock);
  if (!HasWorkBitmap || !WorkBitmap) return;
  FitBitmaps();
  CanvasLock lock(*WorkBitmap);
  WorkBitmap->FillWhite();
  const TLayerItemObject* selected = GetSelectedLocked();
  if (!selected) return;
  if (MonoMode == 1) {
    // Offsets change without a change notice (nudges, alignment, undo):
    // the overlay is checked against what it drew and redrawn if that no
    // longer holds.
    if (AutoOverlay || OverlayStale) BuildOverlay();
    OverlayStale = false;
    selected->DrawMonoRed(*WorkBitmap, 1.0);
    CanvasLock overlay(OverlayBitmap);
    BlendOverlay(OverlayBitmap, *WorkBitmap);
  } else {
    selected->DrawTo(*WorkBitmap);
  }
}

void TLayerManagement::Changed() {
  std::array<TChangeHandler, kListenerSlots> handlers;
  {
    Guard g(Lock);
    // Only the monochrome mode shows the overlay; in colour mode it is
    // brought up to date when that mode renders, so a selection change
    // among hundreds of items costs no blending.
    if (AutoOverlay && MonoMode == 1) BuildOverlay();
    OverlayStale = AutoOverlay && MonoMode != 1;
    handlers = ChangeHandlers;
  }
  for (auto& handler : handlers) {
    if (handler) handler(*this);
  }
}

bool IsNewItemName(const std::string& name, const TLayerManagement& items) {
  return items.FindByName(name) == nullptr;
}

void BlendOverlay(const TBitmap24& overlay, TBitmap24& work) {
  std::array<int, 256> table{};
  for (int i = 0; i < 256; ++i)
    table[static_cast<std::size_t>(i)] = RoundInt(i * 0.8);
  const int w = std::min(overlay.Width(), work.Width());
  const int h = std::min(overlay.Height(), work.Height());
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* o = overlay.Row(y);
    std::uint8_t* p = work.Row(y);
    for (int x = 0; x < w; ++x, o += 3, p += 3) {
      const int e = table[static_cast<std::size_t>(std::abs(o[2] - p[2]))];
      p[0] = static_cast<std::uint8_t>(std::max(p[0] - e, 0));
      p[1] = static_cast<std::uint8_t>(std::max(p[1] - e, 0));
      p[2] = static_cast<std::uint8_t>(std::max(p[2] - e, 0));
    }
  }
}

TBitmap24 ComposeMono(const std::vector<TBitmap24>& others, const TBitmap24& current,
                      double density) {
  TBitmap24 overlay(current.Width(), current.Height());
  overlay.FillWhite();
  for (const TBitmap24& other : others)
    BlendMonoPicture(other, overlay, {0, 0}, density, false);
  TBitmap24 view(current.Width(), current.Height());
  view.FillWhite();
  BlendMonoPicture(current, view, {0, 0}, 1.0, true);
  BlendOverlay(overlay, view);
  return view;
}

}  // namespace kalvane
