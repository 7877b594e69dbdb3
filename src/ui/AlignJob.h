#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "document/AutoAlign.h"
#include "ui/ProgressDialog.h"

namespace kalvane::ui {

// An automatic alignment measuring on its worker; the window owns it until
// the worker has ended and joins it then.
struct TAlignJob {
  // Thrown from the progress step to stop the measuring.
  struct TCancelled {};
  std::thread Worker;
  std::atomic<bool> Cancel{false};
  std::vector<TAlignment> Found;
  std::string Failure;
  std::unique_ptr<TExecProgress> Progress;
};

}  // namespace kalvane::ui
