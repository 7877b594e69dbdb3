#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "document/LayerItemObject.h"
#include "imaging/Bitmap24.h"

namespace kalvane {

class TLayerManagement;
using TChangeHandler = std::function<void(TLayerManagement& sender)>;

// The ordered items of the project, the selection, the settings every item
// shares, and the composition of the work bitmap and the monochrome overlay.
//
// Threads: loader threads decode items (CreateItem) on workers; every change
// of the list, and so every listener call, happens on the GUI thread. The
// list is guarded by its own lock and every drawing step holds the canvas
// lock of the bitmap it draws into; where both are held the list lock is
// taken first. Listeners are called with no lock held. Code that reads
// items while another thread may change them holds a TLockedView.
class TLayerManagement {
 public:
  static constexpr int kListenerSlots = 5;

  TLayerManagement() = default;
  TLayerManagement(const TLayerManagement&) = delete;
  TLayerManagement& operator=(const TLayerManagement&) = delete;

  // slot 1..5; an empty handler frees the slot.
  void SetChangeHandler(int slot, TChangeHandler handler);

  void SetWorkBitmap(TBitmap24* bitmap);
  // Off: created items read only their photo's header (no display copies).
  void SetDisplayCopies(bool on);
  int Count() const;
  TLayerItemObject* GetItem(int index) const;
  TLayerItemObject* FindByName(const std::string& name) const;
  TLayerItemObject* FindById(TItemId id) const;
  std::vector<TItemId> Order() const;
  // Puts the items in the order of `ids`; unknown ids are passed over and
  // items not named keep their relative order after the named ones.
  void SetOrder(const std::vector<TItemId>& ids);

  // Both return the new item; check HasImage()/LoadError() for a file that
  // could not be decoded (it is in the list without copies).
  TLayerItemObject* AddItem(const std::string& name, const std::string& path);
  TLayerItemObject* InsertItem(const std::string& name, int position, const std::string& path);
  // The item AddItem would make, loaded but not yet in the list, so loaders
  // can decode several files at once and refuse one that fails before it is
  // added. Safe to call from any thread.
  std::unique_ptr<TLayerItemObject> CreateItem(const std::string& name,
                                               const std::string& path) const;
  // Puts a created item at the position (clamped to [0, Count]); notifies.
  TLayerItemObject* InsertCreated(std::unique_ptr<TLayerItemObject> item, int position);

  void Delete(int index);
  void Clear();
  // As Delete and Clear, but the items are handed over with their
  // pictures, to be put back by InsertCreated; empty where nothing was
  // taken.
  std::unique_ptr<TLayerItemObject> Take(int index);
  std::vector<std::unique_ptr<TLayerItemObject>> TakeAll();
  void Move(int index, int direction);  // 1 = towards the end, else towards the start
  void Reverse();
  void SelectIndex(int index);
  void SelectName(const std::string& name);
  void ClearSelection();
  TLayerItemObject* GetSelected() const;

  void SetMonoMode(int mode);
  int GetMonoMode() const;
  void SetMonoVisibleByName(const std::string& name, bool visible);
  bool GetMonoVisibleByName(const std::string& name) const;
  void SetMonoVisibleAll(bool visible);
  // Only the photos either side of the current one (around the turn, so
  // the first and the last are neighbours) in the overlay: with many
  // frames over it, the view is unreadable.
  void SetMonoVisibleNeighbours();
  void SetAutoOverlay(bool on);
  bool GetAutoOverlay() const;

  void SetRotation(std::int32_t angle);
  std::int32_t GetRotation() const;
  void SetItemScale(double scale);
  double GetItemScale() const;
  void SetDensity(double density);
  double GetDensity() const;

  void Render();
  void Changed();
  void BuildOverlay();
  // The work bitmap's size: the largest display copy (by its header for
  // items without copies), 100 x 100 without any.
  TSize WorkSize() const;

  // The list held still: items can be read, and the work and overlay
  // bitmaps painted, while no other thread changes them.
  class TLockedView {
   public:
    explicit TLockedView(const TLayerManagement& list) : List(list), Hold(list.Lock) {}
    int Count() const { return static_cast<int>(List.Items.size()); }
    const TLayerItemObject& operator[](int i) const {
      return *List.Items[static_cast<std::size_t>(i)];
    }
    const TLayerItemObject* Selected() const { return List.GetSelectedLocked(); }

   private:
    const TLayerManagement& List;
    std::lock_guard<std::recursive_mutex> Hold;
  };
  TLockedView LockedView() const { return TLockedView(*this); }

  const TBitmap24& GetOverlayBitmap() const { return OverlayBitmap; }

 private:
  void FitBitmaps();
  // What BuildOverlay drew for one item, to know whether it still holds.
  struct TOverlayEntry {
    const TLayerItemObject* item = nullptr;
    std::uint64_t generation = 0;
    TPoint offset;
    bool drawn = false;
    bool operator==(const TOverlayEntry&) const = default;
  };
  static TOverlayEntry OverlayEntryOf(const TLayerItemObject& item);
  void Renumber(std::size_t from);
  void ClearSelectionLocked();
  // Clears the selection, then selects every item that matches; notifies.
  void SelectWhere(const std::function<bool(const TLayerItemObject&)>& match);
  TLayerItemObject* GetSelectedLocked() const;

  mutable std::recursive_mutex Lock;
  std::array<TChangeHandler, kListenerSlots> ChangeHandlers;
  TBitmap24* WorkBitmap = nullptr;
  TBitmap24 OverlayBitmap;
  bool HasWorkBitmap = false;
  std::vector<std::unique_ptr<TLayerItemObject>> Items;
  int MonoMode = 0;
  std::int32_t Rotation = 0;
  double ItemScale = 0.3;
  double Density = 0.3;
  bool AutoOverlay = true;
  bool DisplayCopies = true;
  // The overlay is the sequential blend of the items in list order, so when
  // the items drawn last time are still the first ones, unchanged, only the
  // rest need drawing. That keeps loading linear instead of quadratic.
  std::vector<TOverlayEntry> OverlayDrawn;
  double OverlayDensity = 0.0;
  bool OverlayValid = false;
  bool OverlayStale = false;  // changes came while the overlay was not shown
};

// No item of the list has that name.
bool IsNewItemName(const std::string& name, const TLayerManagement& items);

// Blends the overlay into the work bitmap (same size): every byte of a work
// pixel drops by Round(|overlay red - work red| * 0.8), not below 0.
void BlendOverlay(const TBitmap24& overlay, TBitmap24& work);
// The monochrome view as Render makes it, from pictures of one size that
// are already grey and lightened (0 where an item shows nothing): the
// others darkened into white by the density, in list order; the current
// one in red over white; the two blended. The zoomed canvas makes it from
// the photos themselves.
TBitmap24 ComposeMono(const std::vector<TBitmap24>& others, const TBitmap24& current,
                      double density);

}  // namespace kalvane
