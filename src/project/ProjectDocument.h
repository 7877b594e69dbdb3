#pragma once

namespace kalvane {

class TLayerManagement;
class TGuideManagement;
class TBandManagement;

// The project document as the main window owns it.
class IProjectDocument {
 public:
  virtual ~IProjectDocument() = default;
  virtual TLayerManagement& LayerItems() = 0;
  virtual TGuideManagement& GuideLines() = 0;
  virtual TBandManagement& TrimBox() = 0;
};

// What resetting the project needs of the window besides the document.
class IProjectWindow : public IProjectDocument {
 public:
  virtual void HideItemPanel() = 0;
  virtual void ForgetProjectPath() = 0;
  virtual void RepaintWorkArea() = 0;
};

}  // namespace kalvane
