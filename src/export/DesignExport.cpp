#include "export/DesignExport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

TDesignStage::TDesignStage() = default;
TDesignStage::~TDesignStage() = default;
TDesignStage::TDesignStage(TDesignStage&&) noexcept = default;
TDesignStage& TDesignStage::operator=(TDesignStage&&) noexcept = default;

TDesignResult TDesignStage::Commit() {
  TDesignResult result;
  if (!Outcome.Ok()) {
    static_cast<TResult&>(result) = Outcome;
    return result;
  }
  for (std::size_t i = 0; i < Files.size(); ++i) {
    if (!Files[i]->Commit()) {
      result.SetFailure(TErrorCode::WriteFailed, Files[i]->Error());
      return result;
    }
    result.Copied.push_back(Names[i]);
  }
  return result;
}

namespace {

// All of `path`, or nothing with `error` set.
bool ReadWhole(const std::string& path, std::string& text, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = std::strerror(errno);
      close(fd);
      return false;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

TDesignStage TDesignExport::StageDesign(const std::string& designFolder,
                                        const std::string& outputFolder, bool useHelp) {
  TDesignStage stage;
  const std::string from = WithTrailingSlash(designFolder), to = WithTrailingSlash(outputFolder);
  std::error_code ec;
  if (!fs::is_directory(from, ec)) {
    stage.Outcome = TResult::Fail(TErrorCode::NotFound, designFolder + ": no such design");
    return stage;
  }
  if (!fs::is_directory(to, ec)) {
    stage.Outcome = TResult::Fail(TErrorCode::NotFound, outputFolder + ": no such folder");
    return stage;
  }
  std::vector<std::string> names = ListFiles(from);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name == "prev.jpg" || name == "prev.html" || name == "veldata.swf") continue;
    std::string text, error;
    if (!ReadWhole(from + name, text, error)) {
      stage.Outcome = TResult::Fail(
          TErrorCode::Unreadable, from + name + ": cannot read the design's file (" + error + ")");
      return stage;
    }
    if (name == "velzoom.js") {
      text = StripColourHashes(text);
      if (!useHelp) text = HelpSwitchedOff(text);
    }
    auto file = std::make_unique<TAtomicFile>(to + name);
    if (!file->Ok()) {
      stage.Outcome = TResult::Fail(TErrorCode::WriteFailed, file->Error());
      return stage;
    }
    if (!WriteAll(file->Handle(), text)) {
      stage.Outcome = TResult::Fail(TErrorCode::WriteFailed,
                                    to + name + ": cannot write (" + std::strerror(errno) + ")");
      return stage;
    }
    stage.Names.push_back(name);
    stage.Files.push_back(std::move(file));
  }
  return stage;
}

TDesignResult TDesignExport::CopyDesign(const std::string& designFolder,
                                        const std::string& outputFolder, bool useHelp) {
  return StageDesign(designFolder, outputFolder, useHelp).Commit();
}

std::string HelpSwitchedOff(const std::string& script) {
  static const std::string kOn = "var help = \"true\";";
  static const std::string kOff = "var help = \"false\";";
  std::string text = script;
  ReplaceAll(text, kOn, kOff);
  return text;
}

TResult DisableHelp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  // Through a temporary file, so a full disk cannot leave half a script.
  return WriteFileAtomically(path, HelpSwitchedOff(text));
}

}  // namespace kalvane
