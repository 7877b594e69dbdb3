#include "cli/BatchDialogs.h"

#include <cstdio>
#include <filesystem>

#include "base/AppUtil.h"

namespace kalvane::cli {

TBatchDialogs::TBatchDialogs(std::string searchFolder)
    : Folder(WithTrailingSlash(std::move(searchFolder))) {}

void TBatchDialogs::Warn(const std::string&, const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\r') c = ' ';
  }
  std::fprintf(stderr, "kalvane-cli: %s\n", line.c_str());
}

void TBatchDialogs::Inform(const std::string& caption, const std::string& text) {
  Warn(caption, text);
}

std::optional<std::string> TBatchDialogs::OpenFile(const std::string&, const std::string&,
                                                   const std::string& fileName) {
  if (Folder.empty()) return std::nullopt;
  std::error_code ec;
  const std::string candidate = Folder + fileName;
  if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  return std::nullopt;
}

}  // namespace kalvane::cli
