#include "cli/CliView.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

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

}  // namespace kalvane::cli
