#include "cli/CliView.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/AppUtil.h"

namespace kalvane::cli {

namespace {

class TTerminalProgress : public TProgressModel {
 protected:
  void Repaint() override {
    if (!Shown) {
      if (Drawn) std::fputs("\r\033[K", stderr);
      Drawn = false;
      return;
    }
    const int span = std::max(MaxValue - MinValue, 1);
    const int filled = std::clamp((Position - MinValue) * 30 / span, 0, 30);
    std::fprintf(stderr, "\r%s [%.*s%*s] %d/%d", Message.c_str(), filled,
                 "##############################", 30 - filled, "", Position, MaxValue);
    std::fflush(stderr);
    Drawn = true;
  }

 private:
  bool Drawn = false;
};

}  // namespace

std::unique_ptr<IProgress> TCliView::CreateProgress() {
  return MakeTerminalProgress();
}

std::unique_ptr<TProgressModel> MakeTerminalProgress() {
  if (isatty(STDERR_FILENO)) return std::make_unique<TTerminalProgress>();
  return std::make_unique<TProgressModel>();
}

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
