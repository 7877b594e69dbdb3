#pragma once

#include "project/SettingsWindows.h"

namespace kalvane::ui {

// The template design window's place and choices as the settings file
// holds them, kept so that saving the settings writes them back as they
// were read.
class TTemplateSettings : public ITemplateWindowSettings {
 public:
  TWindowBounds Bounds() const override { return Place; }
  void SetLeft(int left) override { Place.Left = left; }
  void SetTop(int top) override { Place.Top = top; }
  void SetWidth(int width) override { Place.Width = width; }
  void SetHeight(int height) override { Place.Height = height; }
  bool AfterOpen() const override { return OpenAfter; }
  void SetAfterOpen(bool on) override { OpenAfter = on; }
  bool UseHelp() const override { return Help; }
  void SetUseHelp(bool on) override { Help = on; }
  int SelectedTheme() const override { return Theme; }
  void SelectTheme(int index) override { Theme = index; }
  int SelectedItem() const override { return Item; }
  void SelectItem(int index) override { Item = index; }

 private:
  TWindowBounds Place{0, 0, 640, 480};
  bool OpenAfter = true;
  bool Help = true;
  int Theme = 0;
  int Item = -1;
};

}  // namespace kalvane::ui
