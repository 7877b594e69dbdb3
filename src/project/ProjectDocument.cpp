#include "project/ProjectDocument.h"

#include "project/ProjectFile.h"

namespace kalvane {

TProjectDocument::TProjectDocument(IProjectView* view) {
  SetView(view);
  Items.SetWorkBitmap(&Work);
  Guides.SetParent(this);
  Box.SetParent(this);
  Box.SetRelBox(kDefaultRelBox);
}

void TProjectDocument::SetControlParent(IControlParent* parent) {
  Guides.SetParent(parent ? parent : this);
  Box.SetParent(parent ? parent : this);
}

void TProjectDocument::Reset() {
  TPrjFormat format;
  format.SetMainWindow(this);
  format.Reset();
}

}  // namespace kalvane
