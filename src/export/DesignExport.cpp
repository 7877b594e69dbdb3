#include "export/DesignExport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/AppUtil.h"
#include "base/AtomicFile.h"

namespace kalvane {

namespace fs = std::filesystem;

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// Sub-folders, also read-only ones: a packaged install makes them so, and
// they are designs all the same. Hidden ones are not listed.
std::vector<std::string> Folders(const std::string& parent) {
  std::vector<std::string> names = ListFolders(WithTrailingSlash(parent), faDirectory);
  for (std::string& name : ListFolders(WithTrailingSlash(parent), faDirectory | faReadOnly))
    names.push_back(std::move(name));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> TDesignExport::Themes(const std::string& templateFolder) {
  std::vector<std::string> themes = Folders(templateFolder);
  std::erase(themes, std::string("preview"));
  return themes;
}

std::vector<std::string> TDesignExport::Designs(const std::string& themeFolder) {
  return Folders(themeFolder);
}

std::string TDesignExport::StripColourHashes(const std::string& script) {
  std::string text = script;
  ReplaceAll(text, "var themeColor = \"#", "var themeColor = \"");
  ReplaceAll(text, "var bgcolor = \"#", "var bgcolor = \"");
  return text;
}

TDesignResult TDesignExport::CopyDesign(const std::string& designFolder,
                                        const std::string& outputFolder, bool useHelp) {
  TDesignResult result;
  const std::string from = WithTrailingSlash(designFolder), to = WithTrailingSlash(outputFolder);
  std::error_code ec;
  if (!fs::is_directory(from, ec)) {
    result.SetFailure(TErrorCode::NotFound, designFolder + ": no such design");
    return result;
  }
  if (!fs::is_directory(to, ec)) {
    result.SetFailure(TErrorCode::NotFound, outputFolder + ": no such folder");
    return result;
  }
  for (const std::string& name : ListFiles(from)) {
    if (name == "prev.jpg" || name == "prev.html") continue;
    fs::remove(to + name, ec);
    if (!CopyNewFile(from + name, to + name)) {
      result.SetFailure(TErrorCode::WriteFailed,
                        to + name + ": cannot copy the design's file there");
      return result;
    }
    result.Copied.push_back(name);
    if (name != "velzoom.js") continue;
    std::ifstream in(to + name, std::ios::binary);
    const std::string script((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    in.close();
    TResult written = WriteFileAtomically(to + name, StripColourHashes(script));
    if (written.Ok() && !useHelp) written = DisableHelp(to + name);
    if (!written.Ok()) {
      static_cast<TResult&>(result) = written;
      return result;
    }
  }
  return result;
}

TResult DisableHelp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  static const std::string kOn = "var help = \"true\";";
  static const std::string kOff = "var help = \"false\";";
  for (std::size_t at = text.find(kOn); at != std::string::npos;
       at = text.find(kOn, at + kOff.size())) {
    text.replace(at, kOn.size(), kOff);
  }
  // Through a temporary file, so a full disk cannot leave half a script.
  return WriteFileAtomically(path, text);
}

}  // namespace kalvane
