#include "project/PageTitles.h"

#include <filesystem>

#include "base/AppUtil.h"
#include "project/IniFile.h"

namespace kalvane {

namespace {

constexpr const char* kSection = "pageTitle";
constexpr const char* kDescriptionSection = "pageDescription";

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
  // One line, as the file holds values.
  std::string line;
  for (const char c : title)
    line += c == '\r' || c == '\n' ? ' ' : c;
  return Write(kSection, project, line);
}

std::string TPageTitles::Description(const std::string& project) const {
  if (project.empty()) return {};
  const std::string line =
      TIniFile::Load(SettingsPath).ReadString(kDescriptionSection, Key(project), "");
  std::string text;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      text += line[++i] == 'n' ? '\n' : line[i];
    } else {
      text += line[i];
    }
  }
  return text;
}

TResult TPageTitles::SetDescription(const std::string& project,
                                    const std::string& description) const {
  // The file holds one line a value: breaks are written as "\n".
  std::string line;
  for (std::size_t i = 0; i < description.size(); ++i) {
    const char c = description[i];
    if (c == '\r' && i + 1 < description.size() && description[i + 1] == '\n') continue;
    if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n' || c == '\r') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return Write(kDescriptionSection, project, line);
}

TResult TPageTitles::Write(const char* section, const std::string& project,
                           const std::string& line) const {
  if (project.empty()) return {};
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(SettingsPath).parent_path(), ec);
  TIniFile file = TIniFile::Load(SettingsPath);
  file.Write(section, Key(project), line);
  return file.Save(SettingsPath);
}

}  // namespace kalvane
