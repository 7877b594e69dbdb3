#include "project/HeadlessWindow.h"

#include "project/ProjectFile.h"

namespace kalvane {

THeadlessWindow::THeadlessWindow() {
  Items.SetWorkBitmap(&Work);
  Guides.SetParent(this);
  Box.SetParent(this);
  Box.SetRelBox(kDefaultRelBox);
}

void THeadlessWindow::ResetProject() {
  TPrjFormat format;
  format.SetMainWindow(this);
  format.Reset();
}

std::unique_ptr<IProgress> THeadlessWindow::CreateProgress() {
  return std::make_unique<TProgressModel>();
}

}  // namespace kalvane
