#include "project/SystemStatus.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "base/AppUtil.h"
#include "project/IniFile.h"

namespace kalvane {

TSystemStatus::TSystemStatus()
    : TSystemStatus(GetUserDataFolder() + "velinit", GetTemplateFolder()) {}

TSystemStatus::TSystemStatus(std::string settingsPath, std::string templateFolder)
    : SettingsPath(std::move(settingsPath)), TemplateFolder(std::move(templateFolder)) {}

namespace {

void WriteBounds(TIniFile& file, const char* section, const TWindowBounds& b) {
  file.WriteInteger(section, "Left", b.Left);
  file.WriteInteger(section, "Top", b.Top);
  file.WriteInteger(section, "Right", b.Left + b.Width);
  file.WriteInteger(section, "Bottom", b.Top + b.Height);
}

// A size from two edges in the file, in 64 bits and within what a screen
// could hold.
int Span(int from, int to) {
  return static_cast<int>(
      std::clamp<std::int64_t>(static_cast<std::int64_t>(to) - from, 0, 100000));
}

// Each key on its own: a missing Right keeps the width, and so on.
void ApplyBounds(const TIniFile& file, const char* section, IWindowPlacement& window) {
  const int left = file.ReadInteger(section, "Left", -1);
  const int top = file.ReadInteger(section, "Top", -1);
  const int right = file.ReadInteger(section, "Right", -1);
  const int bottom = file.ReadInteger(section, "Bottom", -1);
  if (left != -1) {
    window.SetLeft(left);
    if (right != -1) window.SetWidth(Span(left, right));
  }
  if (top != -1) {
    window.SetTop(top);
    if (bottom != -1) window.SetHeight(Span(top, bottom));
  }
}

}  // namespace

TResult TSystemStatus::SaveSettings() {
  if (!MainWindow || !TemplateWindow) return {};
  TIniFile file = TIniFile::Load(SettingsPath);
  if (MainWindow->IsNormalState()) {
    WriteBounds(file, "main", MainWindow->Bounds());
    if (TemplateWindow->HasPlace()) WriteBounds(file, "template", TemplateWindow->Bounds());
  }
  file.WriteInteger("template", "afteropen", TemplateWindow->AfterOpen() ? 1 : 0);
  file.WriteInteger("template", "usehelp", TemplateWindow->UseHelp() ? 1 : 0);
  file.WriteInteger("template", "SelectTheme", TemplateWindow->SelectedTheme());
  file.WriteInteger("template", "SelectItem", TemplateWindow->SelectedItem());
  return file.Save(SettingsPath);
}

void TSystemStatus::LoadSettings() {
  std::error_code ec;
  if (!MainWindow || !TemplateWindow || !std::filesystem::exists(SettingsPath, ec)) return;
  const TIniFile file = TIniFile::Load(SettingsPath);
  ApplyBounds(file, "main", *MainWindow);
  if (!std::filesystem::is_directory(TemplateFolder, ec)) return;
  ApplyBounds(file, "template", *TemplateWindow);
  TemplateWindow->SetUseHelp(file.ReadBool("template", "usehelp", true));
  TemplateWindow->SetAfterOpen(file.ReadBool("template", "afteropen", true));
  TemplateWindow->SelectTheme(file.ReadInteger("template", "SelectTheme", 0));
  TemplateWindow->SelectItem(file.ReadInteger("template", "SelectItem", -1));
}

}  // namespace kalvane
