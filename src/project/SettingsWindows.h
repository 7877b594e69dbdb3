#pragma once

namespace kalvane {

struct TWindowBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TWindowBounds&) const = default;
};

// What the settings need of a window's placement.
class IWindowPlacement {
 public:
  virtual ~IWindowPlacement() = default;
  virtual TWindowBounds Bounds() const = 0;
  virtual void SetLeft(int left) = 0;
  virtual void SetTop(int top) = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  // A window never shown nor placed from the settings has no place of its
  // own to keep.
  virtual bool HasPlace() const { return true; }
};

class IMainWindowSettings : public IWindowPlacement {
 public:
  // Neither minimized nor maximized.
  virtual bool IsNormalState() const = 0;
};

// The template-design window: its placement and the choices it keeps.
class ITemplateWindowSettings : public IWindowPlacement {
 public:
  virtual bool AfterOpen() const = 0;  // chkAfterOpen
  virtual void SetAfterOpen(bool on) = 0;
  virtual bool UseHelp() const = 0;  // chkUseHelp
  virtual void SetUseHelp(bool on) = 0;
  virtual int SelectedTheme() const = 0;  // lboxTheme
  // Selects the theme entry and runs the theme list's click handler, which
  // fills the design list.
  virtual void SelectTheme(int index) = 0;
  virtual int SelectedItem() const = 0;
  virtual void SelectItem(int index) = 0;
};

}  // namespace kalvane
