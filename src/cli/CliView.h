#pragma once

#include <memory>
#include <string>

#include "base/Seams.h"
#include "project/ProjectView.h"

namespace kalvane::cli {

// No window: the progress is drawn on the terminal.
class TCliView : public THeadlessView {
 public:
  std::unique_ptr<IProgress> CreateProgress() override;
};

// A bar on stderr when it is a terminal; silent otherwise.
std::unique_ptr<TProgressModel> MakeTerminalProgress();

}  // namespace kalvane::cli
