#include "imaging/OutputFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

// An entry as it is, a link not followed.
fs::file_type Kind(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type();
}

bool Present(const std::string& path) {
  const fs::file_type kind = Kind(path);
  return kind != fs::file_type::not_found && kind != fs::file_type::none &&
         kind != fs::file_type::unknown;
}

// A name of a file in the folder itself: the mark is only text and could
// have been edited to reach elsewhere.
bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

TOutputFolder::TOutputFolder(const std::string& folder) : Folder(WithTrailingSlash(folder)) {}

std::vector<std::string> TOutputFolder::Marked() const {
  std::vector<std::string> names;
  // A mark that is a link is not ours.
  if (Kind(Folder + kMarkName) != fs::file_type::regular) return names;
  std::ifstream in(Folder + kMarkName, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#' || !PlainName(line) || line == kMarkName) continue;
    names.push_back(line);
  }
  return names;
}

std::vector<std::string> TOutputFolder::Earlier() const {
  std::vector<std::string> names;
  // Files and links only: a folder of that name is not something we wrote.
  for (const std::string& name : Marked()) {
    if (Present(Folder + name) && Kind(Folder + name) != fs::file_type::directory)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::vector<std::string> TOutputFolder::Foreign(const std::vector<std::string>& names) const {
  const std::vector<std::string> ours = Marked();
  std::vector<std::string> foreign;
  for (const std::string& name : names) {
    if (Present(Folder + name) && std::find(ours.begin(), ours.end(), name) == ours.end())
      foreign.push_back(name);
  }
  return foreign;
}

TResult TOutputFolder::RemoveEarlier() const {
  for (const std::string& name : Earlier()) {
    const std::string path = Folder + name;
    std::error_code ec;
    if (!fs::remove(path, ec) && ec)
      return TResult::Fail(TErrorCode::WriteFailed,
                           path + ": cannot remove (" + ec.message() + ")");
  }
  return Mark({});
}

TResult TOutputFolder::Mark(const std::vector<std::string>& names) const {
  std::vector<std::string> ours = Earlier();
  for (const std::string& name : names) {
    if (PlainName(name) && name.find('\n') == std::string::npos) ours.push_back(name);
  }
  std::sort(ours.begin(), ours.end());
  ours.erase(std::unique(ours.begin(), ours.end()), ours.end());
  std::string text = "# files fotomill wrote here; a later run removes them first\n";
  for (const std::string& name : ours)
    text += name + "\n";
  // The atomic write would write through a link: a link in the mark's
  // place goes, not what it names.
  const std::string mark = Folder + kMarkName;
  if (Kind(mark) == fs::file_type::symlink) {
    std::error_code ec;
    fs::remove(mark, ec);
  }
  return WriteFileAtomically(mark, text);
}

}  // namespace kalvane
