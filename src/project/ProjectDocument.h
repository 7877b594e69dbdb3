#pragma once

#include <string>

#include "document/BandManagement.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "imaging/Bitmap24.h"
#include "project/FormManagement.h"
#include "project/ProjectView.h"

namespace kalvane {

// The one project document: the item list with the work bitmap it renders
// into, the guides, the trimming box, the project's path and its saved
// state. The editor's main window, the command line and the tests each own
// one the same way; a window shows it through IProjectView and
// ICommandView.
//
// Threads: only the GUI thread calls this object; loaders reach it through
// the dispatcher. Lock order where both are held: item list, then canvas.
class TProjectDocument : private IControlParent {
 public:
  // Without a view the document runs headless.
  explicit TProjectDocument(IProjectView* view = nullptr);
  TProjectDocument(const TProjectDocument&) = delete;
  TProjectDocument& operator=(const TProjectDocument&) = delete;
  ~TProjectDocument() override = default;

  TLayerManagement& LayerItems() { return Items; }
  const TLayerManagement& LayerItems() const { return Items; }
  TGuideManagement& GuideLines() { return Guides; }
  const TGuideManagement& GuideLines() const { return Guides; }
  TBandManagement& TrimBox() { return Box; }
  const TBandManagement& TrimBox() const { return Box; }
  TBitmap24& WorkBitmap() { return Work; }

  IProjectView& View() { return *ViewOf; }
  void SetView(IProjectView* view) { ViewOf = view ? view : &Headless; }
  // The panel the guides and the box lie on; a fixed 640 x 480 without one.
  void SetControlParent(IControlParent* parent);
  // The commands that show the saved state and follow the item count.
  void SetCommandView(ICommandView* view) { Form.SetMainWindow(view); }

  const std::string& ProjectPath() const { return Path; }
  void SetProjectPath(const std::string& path) { Path = path; }

  bool IsSaved() const { return Form.IsSaved(); }
  void MarkSaved() { Form.MarkSaved(); }
  void MarkModified() { Form.MarkModified(); }
  void UpdateCommandStates() { Form.UpdateCommandStates(); }

  // Empties the project, as before an open and for a new project.
  void Reset();
  // The work bitmap's size as the items make it, without rendering.
  TSize WorkSize() const { return Items.WorkSize(); }

 private:
  TSize ClientSize() const override { return {640, 480}; }

  THeadlessView Headless;
  IProjectView* ViewOf = &Headless;
  TBitmap24 Work;
  TLayerManagement Items;
  TGuideManagement Guides;
  TBandManagement Box;
  TFormManagement Form;
  std::string Path;
};

}  // namespace kalvane
