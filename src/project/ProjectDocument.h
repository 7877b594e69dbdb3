#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/AutoAlign.h"
#include "document/BandManagement.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "imaging/Bitmap24.h"
#include "project/EditHistory.h"
#include "project/ProjectView.h"

namespace kalvane {

// Where an item sits on the work canvas. Undo steps keep and give back
// the whole value, so whatever joins it is undone with it.
struct TItemOffset {
  TPoint Work;   // follows Fine, rounded at the item's scale
  TPointF Fine;  // in photo pixels: what is set
  bool operator==(const TItemOffset&) const = default;
};

// An item taken out of the list by an edit, with its pictures, and the
// place it had: its undo puts the same item back, no photo read again.
struct TTakenItem {
  int Index = 0;
  std::unique_ptr<TLayerItemObject> Item;
};

// What the window shows of the commands: told whenever the item count,
// the saved state or the history changed.
class ICommandView {
 public:
  virtual ~ICommandView() = default;
  virtual void CommandStatesChanged() = 0;
};

// The one project document: the item list with the work bitmap it renders
// into, the guides, the trimming box, the project's path and its saved
// state, and the history of its changes. The editor's main window, the
// command line and the tests each own one the same way; a window shows it
// through IProjectView and ICommandView.
//
// Every change to what the project file holds goes through an operation
// here, which finds items by id and records one undo step: the items, the
// guides and the box alike. The editor's tools only show the guides and
// the box and call these at the end of a drag.
//
// Threads: only the GUI thread calls this object; loaders reach it through
// the dispatcher. Lock order where both are held: item list, then canvas.
class TProjectDocument {
 public:
  // Without a view the document runs headless.
  explicit TProjectDocument(IProjectView* view = nullptr);
  TProjectDocument(const TProjectDocument&) = delete;
  TProjectDocument& operator=(const TProjectDocument&) = delete;
  ~TProjectDocument() = default;

  TLayerManagement& LayerItems() { return Items; }
  const TLayerManagement& LayerItems() const { return Items; }
  // Changed only through the operations below.
  const TGuideManagement& GuideLines() const { return Guides; }
  const TBandManagement& TrimBox() const { return Box; }
  TBitmap24& WorkBitmap() { return Work; }

  IProjectView& View() { return *ViewOf; }
  void SetView(IProjectView* view) { ViewOf = view ? view : &Headless; }
  void SetCommandView(ICommandView* view) { Commands = view; }

  const std::string& ProjectPath() const { return Path; }
  void SetProjectPath(const std::string& path) { Path = path; }

  // Saved while the history stands at the save point; a project without
  // items has nothing to save and is saved too.
  bool IsSaved() const;
  // The project now equals its file (a save, a load, a new project).
  void MarkSaved();
  // The project differs from its file in a way no undo takes back (a load
  // that found photos elsewhere).
  void MarkModified();
  // The item count or another input of the command states changed.
  void UpdateCommandStates();

  // Where steps are pushed: the editor's undo stack; without one only
  // whether the project changed is kept.
  void SetHistory(IEditHistory* history);
  IEditHistory& History() { return *HistoryOf; }
  // A change already made: recorded as one step.
  void Record(std::unique_ptr<TEditStep> step);

  // Empties the project and forgets its history, as before an open and for
  // a new project.
  void Reset();
  // The work bitmap's size as the items make it, without rendering.
  TSize WorkSize() const { return Items.WorkSize(); }

  // ---- values by item id, as the undo steps set them ----
  TItemOffset ItemOffset(TItemId id) const;
  void SetItemOffset(TItemId id, const TItemOffset& offset);
  // Several at once, drawn once.
  void SetItemOffsets(const std::vector<std::pair<TItemId, TItemOffset>>& offsets);
  std::vector<TItemId> ItemOrder() const { return Items.Order(); }
  void SetItemOrder(const std::vector<TItemId>& ids);
  std::int32_t Rotation() const { return Items.GetRotation(); }
  void SetRotation(std::int32_t angle);
  // The items taken out of the list, in list order, each with its place.
  std::vector<TTakenItem> TakeItems(const std::vector<TItemId>& ids);
  // Puts taken items back at their places, in the order of the places; a
  // list they come back to empty takes their scale (the pictures have it).
  void PutBackItems(std::vector<TTakenItem> taken);
  // The box and the guides as a file or a step gives them; also the live
  // place of a box being dragged.
  TRelBox TrimRelBox() const { return Box.GetRelBox(); }
  void SetTrimRelBox(const TRelBox& box);
  void SetGuideLines(const std::vector<TGuideShape>& guides);

  // ---- edits: each makes the change and records it ----
  // The current item; none without items.
  TItemId CurrentId() const;
  // Moves the item by `delta` photo pixels.
  void NudgeItem(TItemId id, TPointF delta);
  // A drag moved the item from `before` to where it is now.
  void DragEnded(TItemId id, const TItemOffset& before);
  // 0 one place towards the start, 1 towards the end.
  void MoveItem(TItemId id, int direction);
  // The item taken out and put in at `index` of the list as it then stands
  // (a row dragged in the list); one step.
  void MoveItemTo(TItemId id, int index);
  void ReverseItems();
  // +9000 a quarter turn to the left, -9000 to the right.
  void RotateAll(std::int32_t quarter);
  void DeleteItem(TItemId id);
  void DeleteAllItems();
  // The item loader added these items.
  void ItemsAdded(const std::vector<TItemId>& ids);
  void SetOffsets(const std::string& name,
                  const std::vector<std::pair<TItemId, TItemOffset>>& offsets);
  // The trusted items of an automatic alignment given their new offsets:
  // one step.
  void ApplyAlignment(const std::vector<TAlignment>& found);
  // The box set to `box` (put in order and within the image).
  void SetBox(const TRelBox& box);
  // The same at the end of a drag whose live feedback moved the box
  // already: `before` is where it was when the drag began.
  void SetBox(const TRelBox& box, const TRelBox& before);
  // Orientation 1 horizontal, 0 vertical; the place as a fraction of the
  // image area.
  void AddGuide(int orientation, double relPos);
  void MoveGuide(int index, double relPos);
  // A guide dropped onto a ruler; the last guide takes its place.
  void DeleteGuide(int index);
  void DeleteAllGuides();

 private:
  // The guides made `after`: one step named `name`, none if nothing changed.
  void ChangeGuides(const char* name, const std::vector<TGuideShape>& after);
  void Render();

  THeadlessView Headless;
  IProjectView* ViewOf = &Headless;
  ICommandView* Commands = nullptr;
  TBitmap24 Work;
  TLayerManagement Items;
  TGuideManagement Guides;
  TBandManagement Box;
  TChangeMark Unsaved;
  IEditHistory* HistoryOf = &Unsaved;
  std::string Path;
};

}  // namespace kalvane
