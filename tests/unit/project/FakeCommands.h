#pragma once

#include <map>
#include <set>
#include <string>

#include "project/SettingsWindows.h"

namespace kalvane::test {

// Commands by name: enabled, visible, down; clicks recorded.
class TFakeCommands : public ICommandView {
 public:
  int ItemCount() const override { return Items; }
  void SetCommandEnabled(const char* n, bool on) override { Enabled[n] = on; }
  bool IsCommandEnabled(const char* n) const override {
    auto it = Enabled.find(n);
    return it != Enabled.end() && it->second;
  }
  void SetControlVisible(const char* n, bool on) override { Visible[n] = on; }
  bool IsButtonDown(const char* n) const override { return Down.count(n) > 0; }
  void SetButtonDown(const char* n, bool down) override {
    if (down) {
      Down.insert(n);
    } else {
      Down.erase(n);
    }
  }
  void ClickButton(const char* n) override { Clicks += std::string(n) + ";"; }
  void ShowTrimBox(bool on) override { TrimBox = on; }
  void ShowGuides(bool on) override { Guides = on; }
  int Items = 0;
  std::map<std::string, bool> Enabled, Visible;
  std::set<std::string> Down;
  std::string Clicks;
  bool TrimBox = false, Guides = false;
};

}  // namespace kalvane::test
