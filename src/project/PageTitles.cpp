#include "project/PageTitles.h"

#include <filesystem>

#include "base/AppUtil.h"
#include "project/IniFile.h"

namespace kalvane {

namespace {

constexpr const char* kSection = "pageTitle";

}  // namespace

TPageTitles::TPageTitles() : TPageTitles(GetUserDataFolder() + "velinit") {}

TPageTitles::TPageTitles(std::string settingsPath) : SettingsPath(std::move(settingsPath)) {}

std::string TPageTitles::Key(const std::string& project) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string key = "p";
  for (const char c : project) {
    const auto byte = static_cast<unsigned char>(c);
    key += kDigits[byte >> 4];
    key += kDigits[byte & 15];
  }
  return key;
}

std::string TPageTitles::Title(const std::string& project) const {
  if (project.empty()) return {};
  return TIniFile::Load(SettingsPath).ReadString(kSection, Key(project), "");
}

TResult TPageTitles::SetTitle(const std::string& project, const std::string& title) const {
  if (project.empty()) return {};
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(SettingsPath).parent_path(), ec);
  TIniFile file = TIniFile::Load(SettingsPath);
  // One line, as the file holds values.
  std::string line;
  for (const char c : title)
    line += c == '\r' || c == '\n' ? ' ' : c;
  file.Write(kSection, Key(project), line);
  return file.Save(SettingsPath);
}

}  // namespace kalvane
