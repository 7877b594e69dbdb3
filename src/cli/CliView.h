#pragma once

#include <memory>
#include <string>

#include "base/Seams.h"
#include "export/ExportAdvice.h"
#include "project/ProjectView.h"

namespace kalvane::cli {

// No window: the progress is drawn on the terminal.
class TCliView : public THeadlessView {
 public:
  std::unique_ptr<IProgress> CreateProgress() override;
};

// A bar on stderr when it is a terminal; silent otherwise.
std::unique_ptr<TProgressModel> MakeTerminalProgress();

// A warning on stderr when the frames enlarge the cut beyond the limit,
// naming the option and the value that keeps the photos' own sharpness.
void SayEnlarged(const TEnlargement& enlargement, const std::string& option, int largest);

}  // namespace kalvane::cli
