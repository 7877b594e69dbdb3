#include "cli/CliView.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

namespace kalvane::cli {

namespace {

// A wait for another export is said on a line of its own, bar or no bar:
// a script's log shows why the command does not go on.
void SayWaiting(const std::string& holder) {
  std::fprintf(stderr, "kalvane-cli: waiting for another export to finish%s%s\n",
               holder.empty() ? "" : ": ", holder.c_str());
  std::fflush(stderr);
}

class TLogProgress : public TProgressModel {
 public:
  void WaitingFor(const std::string& holder) override { SayWaiting(holder); }
};

class TTerminalProgress : public TProgressModel {
 public:
  void WaitingFor(const std::string& holder) override {
    if (Drawn) std::fputs("\r\033[K", stderr);
    SayWaiting(holder);
    Drawn = false;
    Repaint();
  }

 protected:
  void Repaint() override {
    if (!Shown) {
      if (Drawn) std::fputs("\r\033[K", stderr);
      Drawn = false;
      return;
    }
    const int span = std::max(MaxValue - MinValue, 1);
    const int filled = std::clamp((Position - MinValue) * 30 / span, 0, 30);
    // The bar keeps to one line, whatever the message holds.
    std::string line = Message;
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::fprintf(stderr, "\r\033[K%s [%.*s%*s] %d/%d", line.c_str(), filled,
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
  return std::make_unique<TLogProgress>();
}

void SayEnlarged(const TEnlargement& e, const std::string& option, int largest) {
  if (!e.TooMuch()) return;
  char factor[32];
  std::snprintf(factor, sizeof factor, "%.2f", e.Factor());
  std::cerr << "kalvane-cli: warning: frames of " << e.Frame.Width << " x " << e.Frame.Height
            << " pixels enlarge the cut (the trimming box, " << e.Cut.Width << " x " << e.Cut.Height
            << " photo pixels) " << factor << " times and will look soft; " << option << " "
            << largest << " or less keeps the photos' own sharpness\n";
}

}  // namespace kalvane::cli
