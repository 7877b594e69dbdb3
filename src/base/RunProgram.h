#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// Runs a program with an argument vector (no shell, so nothing in a path
// is ever taken as a command) and waits for it. Its output and errors go
// to `logFile`, which the result quotes when the program fails. A program
// still running after `seconds`, or when `cancel` is set, is killed; so is
// one whose caller dies (killed or crashed), so no tool outlives its
// export. Its temporary files (TMPDIR) go to a folder of its own in the
// export temp folder, removed after it, and by the next run when a kill
// left it behind.
// Fails for a program that cannot be started, ends by a signal or exits
// with a status other than 0.
TResult RunProgram(const std::vector<std::string>& argv, const std::string& logFile, int seconds,
                   const std::atomic<bool>* cancel = nullptr);

}  // namespace kalvane
